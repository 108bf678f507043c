#pragma once

// One attempt of the outer integration of a pair: the probability that the jorder-th lowest
// minority score lies below the iorder-th lowest majority score, with the majority score in [a, b].

#include <vector>

#include "model/pair_state.h"
#include "numlib/quadpack.h"

namespace tarven::engine::nested {

// Subinterval limit of the outer integration; the caller's outer workspace is made with it.
inline constexpr int kOuterLimit = 25000;

struct PairAttempt {
  double lbeta1 = 0.0;  // DLBETA(nmaj - iorder + 1, iorder), as stored in the state
  double r = 0.0;       // the outer integral of fun over [a, b]
  double abserr = 0.0;  // its error estimate
};

// The caller sets s.iorder and s.jorder; this sets s.lbeta1 and integrates fun over [a, b] as DQAG
// does (EPSABS 1e-8, EPSREL 1e-5, 61-point rule) in outer_work, whose limit should be kOuterLimit.
// An abnormal return is reported to s.diagnostics (DiagnosticSource::kOuter) and its estimate
// returned; a DLBETA error is reported as fatal and the result is NaN.
PairAttempt attempt_pair(model::PairState& s, numlib::QuadWorkspace& outer_work, double a,
                         double b);

// Where the outer integration of a pair over [a, b] will evaluate fun: the rule on [a, b], then on
// its halves, then on its quarters (the problems we measured went on to some of them). Level by
// level, each level in the opposite order to the one the integration visits it in: a second thread
// warming the memo along this list meets the thread integrating the pair in the middle of every
// level instead of computing the same values beside it, and the quarters, not all of which may be
// needed, come last. A node the integration never asks for only costs time.
std::vector<double> outer_nodes_backwards(double a, double b);

}  // namespace tarven::engine::nested
