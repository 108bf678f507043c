#pragma once

// The command line's pictures: the distribution chart of a scenario, curves across a grid's
// results, and the self-contained HTML pages of `run --html` and `grid --html`.

#include <optional>
#include <string>
#include <string_view>
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

// Writes an SVG picture to `path`, or a PNG drawn from it when the path ends in ".png" (in any
// case). An error text, or "".
std::string write_picture(const std::string& path, const std::string& svg);

// One page: the scenario, the summary, the chart, every split with probability above 1e-6, and the
// definitions of every figure.
std::string run_page(const ScenarioInput& input, const ScenarioOutcome& outcome,
                     const CommandQuestions& questions);

// The grid's results as a page: the curves (an SVG document as curves_of draws it, or "" for
// none), the table with its numbers to four significant digits (the full value in a tooltip and in
// the file), and the definitions of its columns.
std::string grid_page(const CsvTable& results, const std::string& y_column,
                      const std::string& curves_svg);

// What a picture's or page's file name says it is, by its ending in any case: .svg, .png,
// .html or .htm. "-", the standard output, takes SVG.
enum class PictureFormat { kSvg, kPng, kHtml };
std::optional<PictureFormat> picture_format(std::string_view path);

}  // namespace tarven::cli
