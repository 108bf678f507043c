#include "core/distribution.h"

#include <cstddef>

namespace tarven::core {

std::vector<DistributionRow> build_distribution(const model::PairPlan& plan,
                                                std::span<const double> cumulative) {
  const auto nrow = static_cast<std::size_t>(plan.npair) + 1;
  std::vector<DistributionRow> rows(nrow);
  const double majority = plan.nmaj;
  const double minority = plan.nmin;
  auto at_most = [&](std::size_t r) { return r + 1 < nrow ? cumulative[r] : 1.0; };

  // The first row always has a majority hire (nsel >= 1, nmaj >= 1), so its ratio is defined.
  DistributionRow& first = rows[0];
  first.n_minority_hired = plan.jlow;
  first.n_majority_hired = plan.nsel - plan.jlow;
  first.p_at_most = at_most(0);
  first.prob = first.p_at_most;
  first.cum_prob = first.p_at_most;
  first.sr_majority = first.n_majority_hired / majority;
  first.sr_minority = first.n_minority_hired / minority;
  first.ai = first.sr_minority / first.sr_majority;

  for (std::size_t r = 1; r < nrow; ++r) {
    const DistributionRow& before = rows[r - 1];
    DistributionRow& row = rows[r];
    row.p_at_most = at_most(r);
    row.prob = row.p_at_most - before.p_at_most;
    row.cum_prob = before.cum_prob + row.prob;
    row.n_minority_hired = before.n_minority_hired + 1;
    row.n_majority_hired = before.n_majority_hired - 1;
    row.sr_majority = row.n_majority_hired / majority;
    row.sr_minority = row.n_minority_hired / minority;
    if (row.sr_majority != 0.0) row.ai = row.sr_minority / row.sr_majority;
  }
  return rows;
}

}  // namespace tarven::core
