#pragma once

// The predictor's density and distribution function in a pre-screened group: predictor X ~ N(mu,
// 1), pre-screening variable Z ~ N(rho*mu, 1) correlated rho with X, applicants kept when Z > zcut;
// mu = 0 for the minority (imaj == 0) and es for the majority (imaj != 0).

#include "model/diagnostics.h"
#include "model/model_state.h"

namespace tarven::model {

// Density of the group selected by s.imaj at x, or x times it when s.imom is exactly 1.
// Innermost integrand of the computation: no allocation, no I/O, no virtual call.
double phide(double x, ModelState& s);
// phide as an integrator callback; params is the ModelState.
double phide_callback(double x, void* params);
// The same density with every value formed afresh on each call, nothing kept in the state. Gives
// the same bits as phide; it exists to show that keeping the constants changes nothing.
double phide_unhoisted(double x, const ModelState& s);
// The density the integrals use: phide, or phide_unhoisted when s.keep_constants is off.
inline double prescreened_density(double x, ModelState& s) {
  return s.keep_constants ? phide(x, s) : phide_unhoisted(x, s);
}

// What one integration of phide over (-inf, x] produced.
struct DistOutcome {
  double value = 0.0;   // the integral estimate
  int ier = 0;          // 0 = success
  double abserr = 0.0;  // error estimate
};
// The integration alone, reporting nothing: DQAGIE over (-inf, x], EPSABS 1e-14, EPSREL 1e-12, in
// s.dist_work (12500 subintervals).
DistOutcome integrate_dist(double x, ModelState& s);
// What an abnormal outcome prints: the library's message for DQAGI, then the console line
// "Bound ier in dist " with x, ier and the error estimate.
void report_dist(double x, const DistOutcome& outcome, Diagnostics& diagnostics);

// Integral of phide over (-inf, x]: the distribution function (imom != 1) or the partial first
// moment (imom == 1). An abnormal integration is reported and its estimate returned unchanged.
double dist(double x, ModelState& s);

}  // namespace tarven::model
