#pragma once

// The two integrands of a pair probability: fun(x) = g_i(x) * integral of fu1 over [-6.5, x],
// where g_i is the density of the iorder-th order statistic of the majority sample and fu1 = h_j
// that of the jorder-th order statistic of the minority sample. Both densities are formed in
// logarithms and exponentiated once.

#include "model/pair_state.h"

namespace tarven::model {

// Outer integrand. Exactly 0 for x at or below the window's lower end (population.window.low),
// and when s.cancel is set;
// otherwise sets s.lbeta2 and integrates fu1 from the window's lower end to x with DQAGE (EPSABS
// 5e-9, EPSREL 5e-6, 61-point rule, s.inner_work). An abnormal inner integration is reported
// (DiagnosticSource::kInner) and its estimate used.
double fun(double x, PairState& s);
// Inner integrand: the minority order-statistic density at y.
double fu1(double y, PairState& s);

// Integrator callbacks; params is the PairState.
double fun_callback(double x, void* params);
double fu1_callback(double y, void* params);

}  // namespace tarven::model
