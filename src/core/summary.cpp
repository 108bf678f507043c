#include "core/summary.h"

#include <cstddef>

namespace tarven::core {

void summarize(Result& result) {
  const std::vector<DistributionRow>& rows = result.distribution;
  const std::size_t nrow = rows.size();
  if (nrow == 0) return;

  double pfin = 0.0;  // probability of the rows with a defined ratio
  double esra = 0.0;
  double esri = 0.0;
  double weighted_ai = 0.0;
  for (const DistributionRow& row : rows) {
    if (row.n_majority_hired != 0) pfin += row.prob;
    esra += row.prob * row.sr_majority;
    esri += row.prob * row.sr_minority;
    if (row.ai) weighted_ai += row.prob * *row.ai;
  }
  result.expected_sr_majority = esra;
  result.expected_sr_minority = esri;

  // The rows are in increasing order of the ratio, so the first row whose cumulative probability
  // reaches the level holds the smallest ratio that does. The cumulative column ends at 1 up to
  // rounding, so every level is reached; should rounding ever leave the top level short, the
  // largest split is the honest answer rather than an unset value.
  for (std::size_t l = 0; l < kPercentileLevels.size(); ++l) {
    const double level = kPercentileLevels[l];
    std::size_t r = 0;
    while (r + 1 < nrow && !(100.0 * rows[r].cum_prob >= level)) ++r;
    result.percentiles[l] = rows[r].ai;
  }

  // Without probability on any split with a majority hire the expected ratio has no value. A
  // negative total can only come from integration noise and is no better a divisor than zero.
  if (pfin > 0.0)
    result.expected_ai = weighted_ai / pfin;
  else
    result.expected_ai.reset();
}

}  // namespace tarven::core
