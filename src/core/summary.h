#pragma once

// The summary of the sampling distribution: expected selection rates of both groups, the expected
// impact ratio over the splits where it is defined, and the percentiles of the impact ratio.

#include "tarven/result.h"

namespace tarven::core {

// Fills the expected values and percentiles of `result` from its distribution rows: sums over
// every row in row order, then the percentile scan.
void summarize(Result& result);

}  // namespace tarven::core
