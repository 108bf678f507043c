#pragma once

// The two integrands of a pair probability: fun(x) = g_i(x) * integral of fu1 over [-6.5, x],
// where g_i is the density of the iorder-th order statistic of the majority sample and fu1 = h_j
// that of the jorder-th order statistic of the minority sample. Both densities are formed in
// logarithms and exponentiated once.

#include "model/model_state.h"

namespace tarven::model {

// Lower limit of the integration window; the inner integral always starts here.
inline constexpr double kWindowLow = -6.5;

// Outer integrand. Exactly 0 for x <= -6.5, leaving the state untouched; otherwise sets imaj
// (1 for its own terms, then 0 for the inner integration) and lbeta2, and integrates fu1 with
// DQAGE (EPSABS 5e-9, EPSREL 5e-6, 61-point rule, s.inner_work). An abnormal inner integration
// prints the console line "DQAG ERROR in FUN bound  res last" and its estimate is used.
double fun(double x, ModelState& s);
// Inner integrand: the minority order-statistic density at y (sets imaj to 0).
double fu1(double y, ModelState& s);

// Integrator callbacks; params is the ModelState.
double fun_callback(double x, void* params);
double fu1_callback(double y, void* params);

}  // namespace tarven::model
