#pragma once

// Which order statistics decide each split. M, the number of minority hires, is at most w exactly
// when the (w + 1)-th best minority applicant scores below the (nsel - w)-th best majority
// applicant; counted from the lowest score these are the j-th minority and the i-th majority order
// statistics. Pair k (1-based) is the k-th feasible w from the smallest, jlow; the largest feasible
// w, min(nsel, nmin), is certain and has no pair.

#include <algorithm>

namespace tarven::model {

struct PairPlan {
  int nmaj = 0;
  int nmin = 0;
  int nsel = 0;
  int jlow = 0;   // smallest feasible number of minority hires, max(nsel - nmaj, 0)
  int npair = 0;  // number of pairs, min(nsel, nmin) - jlow when that is positive, else 0

  int w(int k) const { return jlow + k - 1; }
  int i(int k) const { return nmaj - nsel + w(k) + 1; }
  int j(int k) const { return nmin - w(k); }
};

inline PairPlan make_pair_plan(int nmaj, int nmin, int nsel) {
  PairPlan plan{nmaj, nmin, nsel, std::max(nsel - nmaj, 0), 0};
  plan.npair = std::max(std::min(nsel, nmin) - plan.jlow, 0);
  return plan;
}

}  // namespace tarven::model
