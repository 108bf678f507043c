#include "plot/axis.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "plot/chart_style.h"

namespace tarven::plot {
namespace {

// 10^exponent, correctly rounded for the exponents an axis meets.
double power_of_ten(int exponent) {
  return exponent >= 0 ? std::pow(10.0, exponent) : 1.0 / std::pow(10.0, -exponent);
}

// index * mantissa * 10^exponent, rounded once: dividing by an exact power of ten rather than
// multiplying by an inexact tenth keeps 0.3 from becoming 0.30000000000000004.
double tick_value(long long index, double mantissa, int exponent) {
  const double units = static_cast<double>(index) * mantissa;  // exact: mantissa is 1, 2, 2.5, 5
  return exponent >= 0 ? units * power_of_ten(exponent) : units / power_of_ten(-exponent);
}

}  // namespace

Ticks nice_ticks(double lo, double hi, int target_count) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0, hi = 1;
  if (lo > hi) std::swap(lo, hi);
  if (lo == hi) {
    // All data at one value: at zero (every probability nil) show [0, 1], else a tenth either side.
    const double spread = lo == 0 ? 1 : 0.1 * std::abs(lo);
    if (lo != 0) lo -= spread;
    hi += spread;
  }
  target_count = std::max(target_count, 1);

  const double raw = (hi - lo) / target_count;
  int exponent = static_cast<int>(std::floor(std::log10(raw)));
  double mantissa = 10;
  for (const double nice : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (nice * power_of_ten(exponent) >= raw * (1 - 1e-12)) {
      mantissa = nice;
      break;
    }
  }
  if (mantissa == 10) mantissa = 1, ++exponent;

  Ticks ticks;
  ticks.step = tick_value(1, mantissa, exponent);
  ticks.decimals = std::max(0, -exponent + (mantissa == 2.5 ? 1 : 0));
  // A bound that is a tick up to rounding stays a tick rather than adding one beyond it.
  const auto first = static_cast<long long>(std::floor(lo / ticks.step + 1e-9));
  const auto last = static_cast<long long>(std::ceil(hi / ticks.step - 1e-9));
  for (long long i = first; i <= last; ++i)
    ticks.values.push_back(tick_value(i, mantissa, exponent));
  ticks.lo = ticks.values.front();
  ticks.hi = ticks.values.back();
  return ticks;
}

std::string tick_label(double value, const Ticks& ticks) {
  return format_fixed(value, ticks.decimals);
}

double LinearScale::operator()(double value) const {
  if (domain_hi == domain_lo) return 0.5 * (range_lo + range_hi);
  return range_lo + (value - domain_lo) / (domain_hi - domain_lo) * (range_hi - range_lo);
}

void draw_x_axis(SvgWriter& svg, const LinearScale& x, const Ticks& ticks, double axis_y,
                 double line_from, double line_to) {
  svg.open("g", {{"class", "x-axis"}});
  svg.leaf("line", {{"class", "axis-line"},
                    {"x1", line_from},
                    {"y1", axis_y},
                    {"x2", line_to},
                    {"y2", axis_y},
                    {"stroke", style::kInk}});
  for (const double value : ticks.values) {
    const double px = x(value);
    svg.open("g", {{"class", "tick"}});
    svg.leaf("line", {{"x1", px},
                      {"y1", axis_y},
                      {"x2", px},
                      {"y2", axis_y + style::kTickLength},
                      {"stroke", style::kInk}});
    svg.text_element("text",
                     {{"x", px},
                      {"y", axis_y + style::kTickLength + style::kLabelSize + 2},
                      {"text-anchor", "middle"},
                      {"font-size", style::kLabelSize},
                      {"fill", style::kMutedInk}},
                     tick_label(value, ticks));
    svg.close();
  }
  svg.close();
}

void draw_y_axis(SvgWriter& svg, const LinearScale& y, const Ticks& ticks, double grid_from,
                 double grid_to, bool labelled) {
  svg.open("g", {{"class", labelled ? "y-axis" : "y-grid"}});
  for (const double value : ticks.values) {
    const double py = y(value);
    svg.open("g", {{"class", "tick"}});
    svg.leaf("line", {{"class", "grid"},
                      {"x1", grid_from},
                      {"y1", py},
                      {"x2", grid_to},
                      {"y2", py},
                      {"stroke", style::kGrid}});
    if (labelled) {
      svg.leaf("line", {{"x1", grid_from - style::kTickLength},
                        {"y1", py},
                        {"x2", grid_from},
                        {"y2", py},
                        {"stroke", style::kInk}});
      // 0.35 em below the tick centres the figures on it without relying on baseline support.
      svg.text_element("text",
                       {{"x", grid_from - style::kTickLength - 3},
                        {"y", py + 0.35 * style::kLabelSize},
                        {"text-anchor", "end"},
                        {"font-size", style::kLabelSize},
                        {"fill", style::kMutedInk}},
                       tick_label(value, ticks));
    }
    svg.close();
  }
  svg.close();
}

void draw_x_title(SvgWriter& svg, std::string_view title, double centre_x, double baseline_y) {
  svg.text_element("text",
                   {{"class", "axis-title"},
                    {"x", centre_x},
                    {"y", baseline_y},
                    {"text-anchor", "middle"},
                    {"font-size", style::kAxisTitleSize},
                    {"fill", style::kInk}},
                   title);
}

void draw_y_title(SvgWriter& svg, std::string_view title, double baseline_x, double centre_y) {
  svg.text_element("text",
                   {{"class", "axis-title"},
                    {"x", baseline_x},
                    {"y", centre_y},
                    {"text-anchor", "middle"},
                    {"transform", "rotate(-90 " + format_number(baseline_x) + " " +
                                      format_number(centre_y) + ")"},
                    {"font-size", style::kAxisTitleSize},
                    {"fill", style::kInk}},
                   title);
}

}  // namespace tarven::plot
