#include "plot/svg_writer.h"

#include <cstdint>

#include "plot/chart_style.h"

namespace tarven::plot {

SvgWriter::SvgWriter(double width, double height, std::string_view title) {
  open("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
               {"width", width},
               {"height", height},
               {"viewBox", "0 0 " + format_number(width) + " " + format_number(height)},
               {"font-family", style::kFontFamily},
               {"role", "img"}});
  text_element("title", {}, title);
  leaf("rect", {{"width", width}, {"height", height}, {"fill", style::kBackground}});
}

std::string svg_points(std::span<const Point> points) {
  std::string text;
  for (const Point& p : points) {
    if (!text.empty()) text += ' ';
    text += format_number(p.x) + "," + format_number(p.y);
  }
  return text;
}

double estimate_text_width(std::string_view text, double font_size) {
  // Advance widths in em of a Helvetica-like face, by class; a little over the true widths.
  constexpr std::string_view kNarrow = " .,:;'|!()[]{}ijlfrtI";
  constexpr std::string_view kWide = "mwMW@%";
  double ems = 0;
  for (const char c : text) {
    const auto byte = static_cast<std::uint8_t>(c);
    if ((byte & 0xC0) == 0x80) continue;  // UTF-8 continuation: counted with its lead byte
    if (kNarrow.find(c) != std::string_view::npos) {
      ems += 0.32;
    } else if (kWide.find(c) != std::string_view::npos) {
      ems += 0.9;
    } else if (c >= 'A' && c <= 'Z') {
      ems += 0.7;
    } else {
      ems += 0.58;
    }
  }
  return ems * font_size;
}

}  // namespace tarven::plot
