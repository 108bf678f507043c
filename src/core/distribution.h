#pragma once

// The sampling distribution of the adverse impact ratio: one row per feasible split of the hires,
// from the fewest minority hires (jlow) to the most (min(nsel, nmin)), built from the cumulative
// probabilities of the pairs.

#include <span>
#include <vector>

#include "model/pair_plan.h"
#include "tarven/result.h"

namespace tarven::core {

// `cumulative` holds P(M <= jlow + k - 1) for the plan's pairs k = 1 .. npair (more entries are
// ignored); the last row, certain, is closed with 1.
std::vector<DistributionRow> build_distribution(const model::PairPlan& plan,
                                                std::span<const double> cumulative);

}  // namespace tarven::core
