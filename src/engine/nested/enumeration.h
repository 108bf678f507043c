#pragma once

// The enumeration of the cumulative split probabilities P(M <= w), one pair of order statistics
// (i, j) per feasible number w of minority hires. This file holds only the decisions (saturation,
// capping, the two kinds of retry on a narrower interval, abandonment); the integral itself comes
// from a PairSource, so the decisions can be driven with chosen values.

#include <vector>

#include "engine/nested/pair_probability.h"
#include "model/pair_plan.h"
#include "model/population.h"

namespace tarven::engine::nested {

// Gives the outer integration result of one attempt. The enumeration asks for the pairs strictly in
// order of k, and for one k asks again (with a narrower interval) only after the previous attempt
// at that k failed, so an implementation that works ahead may compute pair k + 1 on the whole
// window while pair k is still being decided. The two hooks tell it which of that work is still
// wanted.
class PairSource {
 public:
  virtual ~PairSource() = default;
  // k: pair counter (1-based); i, j: the order statistics; a, b: the interval of this attempt.
  virtual PairAttempt attempt(int k, int i, int j, double a, double b) = 0;
  // Pair k has been decided (accepted or capped); no further attempt at k will be asked for.
  virtual void pair_finished(int /*k*/) {}
  // No further attempt at any pair will be asked for: the last pair was decided, the next pair
  // saturates (and with it every later one), the enumeration was abandoned or the evaluation
  // stopped. Called exactly once per enumeration, also when the problem has no pair at all.
  virtual void enumeration_stopped() {}
};

// What became of one attempt, or of a pair that needed none.
enum class AttemptOutcome {
  kAccepted,   // stored as integrated
  kCapped,     // above 1 by no more than the tolerance: stored as exactly 1
  kAboveOne,   // above 1 (or not a finite number): retried on a narrower interval, or abandoned
  kFell,       // fell below the previous pair's value: retried, or abandoned
  kSaturated,  // the previous value was within 1e-6 of 1: stored as 1 without an integral
};

struct AttemptRecord {
  int k = 0;
  int w = 0;
  int i = 0;
  int j = 0;
  double a = 0.0;  // the interval of the attempt
  double b = 0.0;
  PairAttempt attempt;  // lbeta1, the integral as returned and its error estimate
  AttemptOutcome outcome = AttemptOutcome::kAccepted;
  double prob = 0.0;  // the value stored for the pair (accepted, capped or saturated)
};

class EnumerationListener {
 public:
  virtual ~EnumerationListener() = default;
  // Every attempt in the order made, retries included, and every saturated pair.
  virtual void attempted(const AttemptRecord& record) = 0;
  // True once the evaluation has stopped (a library error): the enumeration ends at once.
  virtual bool stopped() const = 0;
};

struct Enumeration {
  int jlow = 0;   // smallest feasible number of minority hires, the first w
  int npair = 0;  // number of pairs of the problem; prob.size() == npair + 1
  // prob[k-1] = entry k = P(M <= jlow + k - 1). Sized npair + 1 once before the loop; the last
  // entry (M <= min(nsel, nmin), certain) is left to the distribution stage. After an abandonment
  // or a stop the entries from that pair on are 0 and mean nothing.
  std::vector<double> prob;
  bool abandoned = false;
  int abandoned_w = 0;      // number of minority hires whose probability could not be computed
  int abandoned_after = 0;  // narrower attempts made for that w before giving up (25 or 35)
  bool stopped = false;     // the evaluation stopped during the enumeration
};

// Runs the enumeration over the plan's pairs, telling the listener about every attempt. The first
// attempt of a pair integrates over `window`, each retry over one narrowed by 0.1 at each end.
// Expects nmaj >= 1, nmin >= 1 and 1 <= nsel <= nmaj + nmin.
Enumeration enumerate_pairs(const model::PairPlan& plan, const model::Window& window,
                            PairSource& source, EnumerationListener& listener);

}  // namespace tarven::engine::nested
