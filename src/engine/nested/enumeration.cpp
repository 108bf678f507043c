#include "engine/nested/enumeration.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/nested/tolerances.h"

namespace tarven::engine::nested {

namespace {

// A cumulative value this close to 1 leaves nothing for the later pairs to add.
constexpr double kSaturation = 1e-6;
// An integral above 1 by no more than this is rounding in the integrator and is taken as 1.
constexpr double kCapTolerance = 5e-5;
// Narrower attempts allowed after a value above 1 and after a fall. A fall may go on to the
// narrowest interval [-3.0, 3.0]; a value above 1 gives up at [-4.0, 4.0].
constexpr int kAboveOneRetries = 25;
constexpr int kFallRetries = 35;
// Each failed attempt moves both ends of the interval this far inwards.
constexpr double kNarrowingStep = 0.1;

}  // namespace

Enumeration enumerate_pairs(const model::PairPlan& plan, const model::Window& window,
                            PairSource& source, EnumerationListener& listener) {
  Enumeration e;
  e.jlow = plan.jlow;
  e.npair = plan.npair;
  e.prob.assign(static_cast<std::size_t>(e.npair) + 1, 0.0);

  bool stopped = false;  // enumeration_stopped() already sent
  for (int k = 1; k <= plan.npair; ++k) {
    const int w = plan.w(k);
    const int i = plan.i(k);
    const int j = plan.j(k);
    double& prob_k = e.prob[static_cast<std::size_t>(k) - 1];
    AttemptRecord record{k, w, i, j, 0.0, 0.0, {}, AttemptOutcome::kSaturated, 1.0};

    if (k > 1 && std::fabs(e.prob[static_cast<std::size_t>(k) - 2] - 1.0) < kSaturation) {
      prob_k = 1.0;
      if (!stopped) {
        source.enumeration_stopped();
        stopped = true;
      }
      listener.attempted(record);
      continue;
    }

    int n = 0;  // failed attempts for this w, shared by both kinds of failure
    for (;;) {
      if (listener.stopped()) {
        // Stopped between attempts (the caller cancelled): nothing more is integrated.
        e.stopped = true;
        source.enumeration_stopped();
        return e;
      }
      // Computed from n each time rather than by repeated subtraction, so that both ends stay
      // mirror images and the n-th interval does not depend on rounding of the earlier ones.
      record.a = window.low + kNarrowingStep * n;
      record.b = window.high - kNarrowingStep * n;
      record.attempt = source.attempt(k, i, j, record.a, record.b);
      if (listener.stopped()) {
        e.stopped = true;
        source.enumeration_stopped();
        return e;
      }
      const double r = record.attempt.r;

      // A result that is not a finite number carries no information about the probability; it
      // is treated like a value above 1 (narrower interval, same limit) and never stored.
      const bool finite = std::isfinite(r);
      const bool capped = finite && r > 1.0 && r - 1.0 <= kCapTolerance;
      const bool above_one = !capped && (!finite || r - 1.0 > kCapTolerance);
      const bool fell = !capped && !above_one && k > 1 &&
                        r <= e.prob[static_cast<std::size_t>(k) - 2] - kFallTolerance;
      if (capped) {
        prob_k = 1.0;
        record.outcome = AttemptOutcome::kCapped;
      } else if (above_one || fell) {
        record.outcome = above_one ? AttemptOutcome::kAboveOne : AttemptOutcome::kFell;
      } else {
        prob_k = r;
        record.outcome = AttemptOutcome::kAccepted;
      }
      record.prob = prob_k;
      listener.attempted(record);
      if (!above_one && !fell) break;

      ++n;
      if (n > (above_one ? kAboveOneRetries : kFallRetries)) {
        e.abandoned = true;
        e.abandoned_w = w;
        e.abandoned_after = n - 1;
        source.enumeration_stopped();
        return e;
      }
    }
    source.pair_finished(k);
  }

  if (!stopped) source.enumeration_stopped();
  return e;
}

}  // namespace tarven::engine::nested
