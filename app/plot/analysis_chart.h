#pragma once

// The distribution chart of an analysis, as every face draws it (the command line's --plot and
// pages, the browser page): its title, its bars, its thresholds with their rates, its expected
// value, and where its axis ends.

#include <string>
#include <string_view>

#include "plot/distribution_chart.h"
#include "tarven/analysis.h"

namespace tarven::plot {

// "300 applicants (240 majority, 60 minority), 60 hired; d = 1, rho = 0.5, retention = 0.3", with
// the real numbers as the caller writes them (the shortest text that reads back as each).
std::string problem_title(const Problem& problem, std::string_view d, std::string_view rho,
                          std::string_view retention);

// P(AI = a) for every split (or the cumulative distribution), a dashed line at each threshold
// with P(AI < T), the expected AI marked, and the axis ending past 99.99 % of the defined ratio's
// probability, so that a long, thin tail of large ratios does not squeeze the rest.
DistributionChart analysis_chart(const Analysis& analysis, std::string title, bool cumulative);

}  // namespace tarven::plot
