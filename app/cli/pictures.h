#pragma once

// The command line's pictures: the distribution chart of a scenario, curves across a grid's
// results, and the self-contained HTML pages of `run --html` and `grid --html`.

#include <string>
#include <variant>
#include <vector>

#include "cli/csv.h"
#include "cli/scenario.h"

namespace tarven::cli {

// "300 applicants (240 majority, 60 minority), 60 hired; d = 1, rho = 0.5, retention = 0.3".
std::string scenario_title(const ScenarioInput& input, const ScenarioOutcome& outcome);

// P(AI = a) for every split as bars (or the cumulative distribution as a step line), a dashed
// line at each threshold with P(AI < T) beside it, and the expected AI marked.
std::string distribution_svg(const ScenarioInput& input, const ScenarioOutcome& outcome,
                             const CommandQuestions& questions, bool cumulative);

// Writes an SVG picture to `path`, or a PNG drawn from it when the path ends in ".png". An error
// text, or "".
std::string write_picture(const std::string& path, const std::string& svg);

// One page: the scenario, the summary, the chart, every split with probability above 1e-6, and the
// definitions of every figure.
std::string run_page(const ScenarioInput& input, const ScenarioOutcome& outcome,
                     const CommandQuestions& questions);

struct CurveRequest {
  std::string x;
  std::string y;
  std::string group;  // "" for one line
  std::string facet;  // "" for one panel
  std::string title;
};

struct CurveResult {
  std::string svg;
  std::string error;
};
// One line per value of the group column, one panel per value of the facet column, from a grid's
// results. Rows whose status is not ok are left out and counted in a note. An error when a column
// is missing or a value of x or y in an ok row is not a number.
CurveResult curves_of(const CsvTable& results, const CurveRequest& request);

// The grid's summary table, and its curves when request.x is set.
std::string grid_page(const CsvTable& results, const CurveRequest& request);

}  // namespace tarven::cli
