#include "plot/chart_heading.h"

#include "plot/chart_style.h"

namespace tarven::plot {
namespace {

constexpr double kTop = 8;
constexpr double kBelow = 8;
double title_step() {
  return style::kTitleSize + 2;
}
double subtitle_step() {
  return style::kSubtitleSize + 6;
}

}  // namespace

double chart_heading_bottom(std::string_view title, std::string_view subtitle) {
  return kTop + (title.empty() ? 0 : title_step()) + (subtitle.empty() ? 0 : subtitle_step()) +
         kBelow;
}

double draw_chart_heading(SvgWriter& svg, std::string_view title, std::string_view subtitle,
                          double left) {
  double y = kTop;
  if (!title.empty()) {
    y += title_step();
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
    y += subtitle_step();
    svg.text_element("text",
                     {{"class", "chart-subtitle"},
                      {"x", left},
                      {"y", y},
                      {"font-size", style::kSubtitleSize},
                      {"fill", style::kMutedInk}},
                     subtitle);
  }
  return y + kBelow;
}

}  // namespace tarven::plot
