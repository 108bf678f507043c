#include "driver/enumeration.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "io/formats.h"

namespace tarven::driver {

namespace {

// A cumulative value this close to 1 leaves nothing for the later pairs to add.
constexpr double kSaturation = 1e-6;
// An integral above 1 by no more than this is rounding in the integrator and is taken as 1.
constexpr double kCapTolerance = 5e-5;
// A cumulative value that drops by this much or more below its predecessor was integrated badly.
constexpr double kFallTolerance = 4e-5;
// Narrower attempts allowed after a value above 1 and after a fall. A fall may go on to the
// narrowest interval [-3.0, 3.0]; a value above 1 gives up at [-4.0, 4.0].
constexpr int kAboveOneRetries = 25;
constexpr int kFallRetries = 35;
constexpr double kHalfRange = 6.5;
constexpr double kNarrowingStep = 0.1;

void write_pair_line(io::OutputUnit& console, int k, int i, int j, double prob, double raw) {
  io::write(console, io::kFormat678, {k, i, j, prob, raw});
}

}  // namespace

Enumeration enumerate_pairs(int nmaj, int nmin, int nsel, PairSource& source,
                            io::OutputUnit& console) {
  Enumeration e;
  e.jlow = std::max(nsel - nmaj, 0);
  const int whigh = std::min(nsel, nmin) - 1;
  e.npair = std::max(whigh - e.jlow + 1, 0);
  e.prob.assign(static_cast<std::size_t>(e.npair) + 1, 0.0);

  bool stopped = false;  // enumeration_stopped() already sent
  int k = 0;
  for (int w = e.jlow; w <= whigh; ++w) {
    const int j = nmin - w;
    ++k;
    const int i = nmaj - nsel + w + 1;
    double& prob_k = e.prob[static_cast<std::size_t>(k) - 1];

    if (k > 1 && std::fabs(e.prob[static_cast<std::size_t>(k) - 2] - 1.0) < kSaturation) {
      prob_k = 1.0;
      if (!stopped) {
        source.enumeration_stopped();
        stopped = true;
      }
      continue;
    }

    int n = 0;  // failed attempts for this w, shared by both kinds of failure
    for (;;) {
      // Computed from n each time rather than by repeated subtraction, so that both ends stay
      // mirror images and the n-th interval does not depend on rounding of the earlier ones.
      const double a = -kHalfRange + kNarrowingStep * n;
      const double b = kHalfRange - kNarrowingStep * n;
      const model::PairAttempt attempt = source.attempt(k, i, j, a, b);
      const double r = attempt.r;
      // The middle value is exp(lbeta1), the complete beta function B(nmaj - i + 1, i) itself, so
      // the line shows the normaliser both ways; it underflows to 0 for large groups, which is
      // harmless on a diagnostic line. The third value is the integral exactly as returned, even
      // when it is not a number, so a failing attempt can be seen.
      io::write(console, io::kFormat2221, {attempt.lbeta1, std::exp(attempt.lbeta1), r});

      // A result that is not a finite number carries no information about the probability; it
      // is treated like a value above 1 (narrower interval, same limit) and never stored.
      const bool finite = std::isfinite(r);
      if (finite && r > 1.0 && r - 1.0 <= kCapTolerance) {
        prob_k = 1.0;
        write_pair_line(console, k, i, j, prob_k, r);
        break;
      }
      const bool above_one = !finite || r - 1.0 > kCapTolerance;
      const bool fell =
          !above_one && k > 1 && r <= e.prob[static_cast<std::size_t>(k) - 2] - kFallTolerance;
      if (above_one || fell) {
        ++n;
        if (n > (above_one ? kAboveOneRetries : kFallRetries)) {
          e.abandoned = true;
          e.abandoned_w = w;
          e.abandoned_after = n - 1;
          source.enumeration_stopped();
          return e;
        }
        continue;
      }
      prob_k = r;
      write_pair_line(console, k, i, j, prob_k, r);
      break;
    }
    source.pair_finished(k);
  }

  if (!stopped) source.enumeration_stopped();
  return e;
}

}  // namespace tarven::driver
