#include "core/settle.h"

#include <limits>

#include "core/summary.h"
#include "engine/nested/tolerances.h"

namespace tarven::core {
namespace {

// The rounding of a difference of two numbers at most 1.
constexpr double kDifferenceRounding = std::numeric_limits<double>::epsilon();

}  // namespace

std::size_t settle_negative_splits(std::vector<DistributionRow>& rows,
                                   const std::function<double(std::size_t)>& allowed) {
  std::size_t first_fault = rows.size();
  double cum = 0.0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    DistributionRow& row = rows[r];
    if (row.prob < 0.0) {
      if (-row.prob <= allowed(r) + kDifferenceRounding)
        row.prob = 0.0;
      else if (first_fault == rows.size())
        first_fault = r;
    }
    cum += row.prob;
    row.cum_prob = cum;
  }
  return first_fault;
}

void settle_single_splits(Result& result) {
  // Row r is P(M <= w_r) - P(M <= w_r - 1): pair r + 1 minus pair r (1-based), the last row's
  // first term being the certain 1.
  const std::vector<PairResult>& pairs = result.pairs;
  auto error = [&](std::size_t k) {
    return k >= 1 && k <= pairs.size() ? pairs[k - 1].error_estimate : 0.0;
  };
  const std::size_t fault = settle_negative_splits(
      result.distribution, [&](std::size_t r) { return error(r + 1) + error(r); });
  if (fault < result.distribution.size() && !pairs.empty())
    result.pairs[std::min(fault, pairs.size() - 1)].converged = false;
}

bool settle_nested_splits(Result& result) {
  const std::size_t fault = settle_negative_splits(
      result.distribution, [](std::size_t) { return engine::nested::kFallTolerance; });
  summarize(result);
  return fault == result.distribution.size();
}

}  // namespace tarven::core
