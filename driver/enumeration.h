#pragma once

// The enumeration of the cumulative split probabilities P(M <= w), one pair of order statistics
// (i, j) per feasible number w of minority hires. This file holds only the decisions (saturation,
// capping, the two kinds of retry on a narrower interval, abandonment); the integral itself comes
// from a PairSource, so the decisions can be driven with chosen values.

#include <vector>

#include "io/output_unit.h"
#include "model/pair_probability.h"

namespace tarven::driver {

// Gives the outer integration result of one attempt. The enumeration asks for the pairs strictly in
// order of k, and for one k asks again (with a narrower interval) only after the previous attempt
// at that k failed, so an implementation that works ahead may compute pair k + 1 on [-6.5, 6.5]
// while pair k is still being decided. The two hooks tell it which of that work is still wanted.
class PairSource {
 public:
  virtual ~PairSource() = default;
  // k: pair counter (1-based); i, j: the order statistics; a, b: the interval of this attempt.
  virtual model::PairAttempt attempt(int k, int i, int j, double a, double b) = 0;
  // Pair k has been decided (accepted or capped); no further attempt at k will be asked for.
  virtual void pair_finished(int /*k*/) {}
  // No further attempt at any pair will be asked for: the last pair was decided, the next pair
  // saturates (and with it every later one), or the enumeration was abandoned. Called exactly once
  // per enumeration, also when the problem has no pair at all.
  virtual void enumeration_stopped() {}
};

struct Enumeration {
  int jlow = 0;   // smallest feasible number of minority hires, the first w
  int npair = 0;  // number of pairs of the problem; prob.size() == npair + 1
  // prob[k-1] = entry k = P(M <= jlow + k - 1). Sized npair + 1 once before the loop; the last
  // entry (M <= min(nsel, nmin), certain) is left to the distribution stage. After an abandonment
  // the entries from the abandoned pair on are 0 and mean nothing.
  std::vector<double> prob;
  bool abandoned = false;
  int abandoned_w = 0;      // number of minority hires whose probability could not be computed
  int abandoned_after = 0;  // narrower attempts made for that w before giving up (25 or 35)
};

// Runs the enumeration, writing one format 2221 console line per attempt and one format 678 line
// per accepted or capped pair. Expects nmaj >= 1, nmin >= 1 and 1 <= nsel <= nmaj + nmin.
Enumeration enumerate_pairs(int nmaj, int nmin, int nsel, PairSource& source,
                            io::OutputUnit& console);

}  // namespace tarven::driver
