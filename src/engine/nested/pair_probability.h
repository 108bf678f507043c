#pragma once

// One attempt of the outer integration of a pair: the probability that the jorder-th lowest
// minority score lies below the iorder-th lowest majority score, with the majority score in [a, b].

#include <optional>
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
// Where the pair's majority order statistic is too narrow for the rule to see (narrow_peak), only
// the piece of [a, b] that holds it is integrated: outside, the integrand holds at most 2e-12. An
// abnormal return is reported to s.diagnostics (DiagnosticSource::kOuter) and its estimate used; a
// DLBETA error is reported as fatal and the result is NaN.
PairAttempt attempt_pair(model::PairState& s, numlib::QuadWorkspace& outer_work, double a,
                         double b);

// Whether the density of the iorder-th majority order statistic is too narrow for the outer rule
// on [a, b] to see: its core (all but 1e-6 of its mass on each side) is narrower than 0.8 of the
// gap between the two nodes of the rule's first application around its middle. The rule then sees
// the peak at one node or none, and the halves of the first bisection, whose nodes are twice as
// dense, can miss it altogether with a small error estimate that asks for nothing more. If so, the
// piece of [a, b] to be integrated on its own: where all but 1e-12 of the density lies on each
// side. Groups of a few hundred never meet it; many thousands of applicants do.
std::optional<model::Window> narrow_peak(const model::Population& p, int iorder, double a,
                                         double b);

// Where the outer integration of a pair over [a, b] will evaluate fun: the rule on [a, b], then on
// its halves, then on its quarters (the problems we measured went on to some of them). Level by
// level, each level in the opposite order to the one the integration visits it in: a second thread
// warming the memo along this list meets the thread integrating the pair in the middle of every
// level instead of computing the same values beside it, and the quarters, not all of which may be
// needed, come last. A node the integration never asks for only costs time.
std::vector<double> outer_nodes_backwards(double a, double b);

}  // namespace tarven::engine::nested
