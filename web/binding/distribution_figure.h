#pragma once

// The distribution chart of an analysis, drawn by the same SVG writer and with the same marks as
// `tarven run --plot`: bars of P(AI = a), the undefined ratio apart, a dashed line and P(AI < T)
// at each threshold, the expected AI marked, the axis ending past 99.99 % of the defined ratio.

#include <string>

#include "tarven/analysis.h"

namespace tarven::web {

// How the page writes the problem's real numbers: the shortest text that reads back as each, as
// the command line writes them (the module's standard library cannot).
struct NumberTexts {
  std::string d;
  std::string rho;
  std::string retention;
};

// The scenario as the command line's chart names it.
std::string scenario_title(const Problem& problem, const NumberTexts& texts);

std::string distribution_figure_svg(const Analysis& analysis, const std::string& title);

}  // namespace tarven::web
