#pragma once

// The summary of the sampling distribution: expected selection rates of both groups, the expected
// impact ratio over the splits where it is defined, and seven percentiles of the impact ratio.

#include <array>

#include "driver/distribution.h"
#include "io/output_unit.h"

namespace tarven::driver {

// Percentile levels in percent, in the order they are printed.
inline constexpr std::array<int, 7> kPercentileLevels{5, 10, 25, 50, 75, 90, 95};

struct Summary {
  double esra = 0.0;  // expected majority selection rate
  double esri = 0.0;  // expected minority selection rate
  double pfin = 0.0;  // total probability of the rows with a defined ratio
  // Expected ratio given that it is defined; kUndefinedRatio when no row with a defined ratio
  // carries positive probability (ai_defined false).
  double eai = 0.0;
  bool ai_defined = true;
  std::array<double, kPercentileLevels.size()> perc{};  // ratio of the first row reaching the level
};

// Sums over every row in row order, printed in the table or not, then the percentile scan.
Summary summarize(const Distribution& d);

// Writes the summary section (format 240) to the report.
void write_summary(const Summary& s, io::OutputUnit& report);

}  // namespace tarven::driver
