#pragma once

// One attempt of the outer integration of a pair: the probability that the jorder-th lowest
// minority score lies below the iorder-th lowest majority score, with the majority score in [a, b].

#include "model/model_state.h"
#include "numlib/quadpack.h"

namespace tarven::model {

// Subinterval limit of the outer integration; the caller's outer workspace is made with it.
inline constexpr int kOuterLimit = 25000;

struct PairAttempt {
  double lbeta1;  // DLBETA(nmaj - iorder + 1, iorder), as stored in the state
  double r;       // the outer integral of fun over [a, b]
};

// The caller sets s.iorder and s.jorder (and the problem); this sets s.lbeta1 and integrates fun
// over [a, b] as DQAG does (EPSABS 1e-8, EPSREL 1e-5, 61-point rule) in outer_work, whose limit
// should be kOuterLimit. An abnormal return is reported through
// s.diagnostics->abnormal_return("DQAG", ier) and its estimate returned.
PairAttempt attempt_pair(ModelState& s, numlib::QuadWorkspace& outer_work, double a, double b);

}  // namespace tarven::model
