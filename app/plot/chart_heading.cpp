#include "plot/chart_heading.h"

#include "plot/chart_style.h"

namespace tarven::plot {

double draw_chart_heading(SvgWriter& svg, std::string_view title, std::string_view subtitle,
                          double left) {
  double y = 8;
  if (!title.empty()) {
    y += style::kTitleSize + 2;
    svg.text_element("text",
                     {{"class", "chart-title"},
                      {"x", left},
                      {"y", y},
                      {"font-size", style::kTitleSize},
                      {"font-weight", "bold"},
                      {"fill", style::kInk}},
                     title);
  }
  if (!subtitle.empty()) {
    y += style::kSubtitleSize + 6;
    svg.text_element("text",
                     {{"class", "chart-subtitle"},
                      {"x", left},
                      {"y", y},
                      {"font-size", style::kSubtitleSize},
                      {"fill", style::kMutedInk}},
                     subtitle);
  }
  return y + 8;
}

}  // namespace tarven::plot
