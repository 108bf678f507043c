#pragma once

// An SVG document as a sequence of elements: the root and its accessible title come first, shapes
// follow through the MarkupWriter calls. Coordinates are written with at most two decimals (a
// hundredth of a pixel), which keeps the files small and their bytes fixed.

#include <span>
#include <string>
#include <string_view>

#include "plot/markup.h"

namespace tarven::plot {

struct Point {
  double x = 0;
  double y = 0;
};

class SvgWriter : public MarkupWriter {
 public:
  // Opens the root element (width x height pixels, white background) with a <title> child.
  SvgWriter(double width, double height, std::string_view title);
};

// "x1,y1 x2,y2 ..." for a polyline's points attribute.
std::string svg_points(std::span<const Point> points);

// A width for text set in the charts' sans-serif face, from character classes rather than from
// font metrics, so that layout does not depend on the fonts installed. Generous rather than tight.
double estimate_text_width(std::string_view text, double font_size);

}  // namespace tarven::plot
