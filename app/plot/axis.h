#pragma once

// Axes: "nice" tick values (1, 2, 2.5 or 5 times a power of ten), the linear map from data to
// pixels, and the drawing of ticks, tick labels, grid lines and axis titles.

#include <string>
#include <string_view>
#include <vector>

#include "plot/svg_writer.h"

namespace tarven::plot {

struct Ticks {
  double lo = 0;    // the axis' ends: at or below the data, and at or above it; each is the first
  double hi = 1;    // (last) tick unless that tick would lie past the largest double
  double step = 1;  // mantissa * 10^exponent
  double mantissa = 1;  // 1, 2, 2.5 or 5
  int exponent = 0;
  int decimals = 0;  // the fewest that write every tick exactly
  std::vector<double> values;
};

// About target_count intervals (1 to 100) covering [lo, hi]. The ends may come in either order; an
// empty or non-finite range is widened to one that can be drawn. Any finite range gives finite,
// distinct, increasing ticks: a range too narrow for its magnitude gets fewer ticks, and one near
// the largest double ends at the data where no tick beyond it exists.
Ticks nice_ticks(double lo, double hi, int target_count = 5);

// Every tick of an axis is labelled with the same number of decimals (0.5, 1.0, 1.5); steps below
// 10^-15 or above 10^15 are labelled in exponent form (2.5e-320, 1e300).
std::string tick_label(double value, const Ticks& ticks);

struct LinearScale {
  double domain_lo = 0;
  double domain_hi = 1;
  double range_lo = 0;  // pixel of domain_lo
  double range_hi = 1;  // pixel of domain_hi

  double operator()(double value) const;
};

// Tick marks and labels below the line y = axis_y, which runs from line_from to line_to.
void draw_x_axis(SvgWriter& svg, const LinearScale& x, const Ticks& ticks, double axis_y,
                 double line_from, double line_to);

// Grid lines across [grid_from, grid_to] at every tick; tick marks and labels left of grid_from
// when `labelled` (facets after the first share the labels of the first).
void draw_y_axis(SvgWriter& svg, const LinearScale& y, const Ticks& ticks, double grid_from,
                 double grid_to, bool labelled);

void draw_x_title(SvgWriter& svg, std::string_view title, double centre_x, double baseline_y);
// Reads bottom to top, centred on centre_y.
void draw_y_title(SvgWriter& svg, std::string_view title, double baseline_x, double centre_y);

}  // namespace tarven::plot
