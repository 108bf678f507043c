#pragma once

// The title and optional subtitle at the top left of every chart.

#include <string_view>

#include "plot/svg_writer.h"

namespace tarven::plot {

// The y below the heading, where the chart's body may start, before it is drawn.
double chart_heading_bottom(std::string_view title, std::string_view subtitle);

// Returns chart_heading_bottom(title, subtitle).
double draw_chart_heading(SvgWriter& svg, std::string_view title, std::string_view subtitle,
                          double left);

}  // namespace tarven::plot
