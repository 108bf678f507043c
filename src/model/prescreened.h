#pragma once

// The predictor's density and distribution function in a pre-screened group: predictor X ~ N(mu,
// 1), pre-screening variable Z ~ N(rho*mu, 1) correlated rho with X, applicants kept when Z > zcut;
// mu = 0 for the minority and es for the majority.

#include "model/diagnostics.h"
#include "model/population.h"
#include "numlib/quadpack.h"

namespace tarven::model {

enum class Group { kMinority = 0, kMajority = 1 };
// The plain density, or x times it, whose integral is a (partial) first moment.
enum class Moment { kDensity, kFirst };

inline int index_of(Group g) {
  return g == Group::kMajority ? 1 : 0;
}

// Density of group g at x, or x times it. Innermost integrand of the computation: no allocation,
// no I/O, no virtual call; uses the population's kept constants.
double phide(double x, Group g, Moment m, const Population& p);
// The same density with every value formed afresh on each call. Gives the same bits as phide; it
// is the evaluation exactly as the formulas are written.
double phide_unhoisted(double x, Group g, Moment m, const Population& p);
// The density the integrals use: phide, or phide_unhoisted when p.keep_constants is off.
inline double prescreened_density(double x, Group g, Moment m, const Population& p) {
  return p.keep_constants ? phide(x, g, m, p) : phide_unhoisted(x, g, m, p);
}

// What one integration of the density over (-inf, x] produced.
struct DistOutcome {
  double value = 0.0;    // the integral estimate
  int ier = 0;           // 0 = success
  double abserr = 0.0;   // error estimate
  int subintervals = 0;  // LAST
};
// The integration alone, reporting nothing: DQAGIE over (-inf, x], EPSABS 1e-14, EPSREL 1e-12, in
// `work` (made with kDistLimit subintervals).
DistOutcome integrate_dist(double x, Group g, Moment m, const Population& p,
                           numlib::QuadWorkspace& work);
// Reports an abnormal outcome (ier != 0) at bound x.
void report_dist(double x, const DistOutcome& outcome, DiagnosticSink& sink);

// Integral of the density over (-inf, x]: the distribution function, or with Moment::kFirst the
// partial first moment. An abnormal integration is reported and its estimate returned unchanged.
double dist(double x, Group g, Moment m, const Population& p, numlib::QuadWorkspace& work,
            DiagnosticSink& sink);

// Subinterval limit of dist's integration.
inline constexpr int kDistLimit = 12500;

}  // namespace tarven::model
