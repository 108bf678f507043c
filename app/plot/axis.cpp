#include "plot/axis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "plot/chart_style.h"

namespace tarven::plot {
namespace {

constexpr double kLargest = std::numeric_limits<double>::max();
// The finest step an axis takes: 2^-40 of its largest value (thousands of units in its last
// place, so that every tick is a distinct number close to its label: an axis needs no more than
// twelve significant digits), and never below sixteen of the smallest subnormal spacings.
constexpr double kRelativeResolution = 0x1p-40;
constexpr double kAbsoluteResolution = 0x1p-1070;
// Beyond this many intervals an axis says nothing more.
constexpr int kMostIntervals = 100;
// Fixed labels (0.25, 1500) for steps from 10^-15 to 10^15; outside, where fixed text would run to
// hundreds of digits or show the binary value's noise, labels in exponent form (2.5e-320, 1e300).
constexpr int kFixedExponents = 15;

// 10^exponent for exponents from 0 to 308, correctly rounded.
double power_of_ten(int exponent) {
  return std::pow(10.0, exponent);
}

// index * mantissa * 10^exponent, rounded once where the result is a normal number: dividing by an
// exact power of ten rather than multiplying by an inexact tenth keeps 0.3 from becoming
// 0.30000000000000004. Beyond the largest double the result is infinite.
double tick_value(long long index, double mantissa, int exponent) {
  const double units = static_cast<double>(index) * mantissa;  // exact: mantissa is 1, 2, 2.5, 5
  if (exponent >= 0) return units * power_of_ten(exponent);
  if (exponent >= -300) return units / power_of_ten(-exponent);
  return units / power_of_ten(-exponent - 300) / 1e300;  // 10^-exponent is past the largest double
}

// value / (mantissa * 10^exponent): where in steps of the axis the value lies. A step below 10^-300
// may be subnormal, and so far from exact: there the value is scaled up in two exact-enough steps.
double in_steps(double value, double mantissa, int exponent) {
  if (exponent >= -300) return value / tick_value(1, mantissa, exponent);
  return value * 1e300 * power_of_ten(-exponent - 300) / mantissa;
}

// a - b without overflow, halved: (a - b) / 2, exact where a - b is.
double half_difference(double a, double b) {
  return a / 2 - b / 2;
}

}  // namespace

Ticks nice_ticks(double lo, double hi, int target_count) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0, hi = 1;
  if (lo > hi) std::swap(lo, hi);
  if (lo == hi) {
    // All data at one value: at zero (every probability nil) show [0, 1], else a tenth either side.
    const double spread = lo == 0 ? 1 : std::max(0.1 * std::abs(lo), kAbsoluteResolution);
    if (lo != 0) lo = std::max(lo - spread, -kLargest);
    hi = std::min(hi + spread, kLargest);
  }
  target_count = std::clamp(target_count, 1, kMostIntervals);

  const double magnitude = std::max(std::abs(lo), std::abs(hi));
  const double resolution = std::max(magnitude * kRelativeResolution, kAbsoluteResolution);
  // The span over the count, computed so that neither overflows nor underflows to nothing.
  const double half_span = half_difference(hi, lo);
  const double raw = std::max(half_span / target_count * 2, resolution);
  int exponent = std::isfinite(raw) ? static_cast<int>(std::floor(std::log10(raw)))
                                    : std::numeric_limits<double>::max_exponent10;
  double mantissa = 10;
  for (const double nice : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (tick_value(1, nice, exponent) >= raw * (1 - 1e-12)) {
      mantissa = nice;
      break;
    }
  }
  if (mantissa == 10) mantissa = 1, ++exponent;
  // No step beyond the largest double: the ticks then lie inside the data rather than around it.
  while (!std::isfinite(tick_value(1, mantissa, exponent))) {
    if (mantissa > 1) {
      mantissa = mantissa == 2.5 ? 2 : mantissa == 5 ? 2.5 : 1;
    } else {
      mantissa = 5, --exponent;
    }
  }

  Ticks ticks;
  ticks.step = tick_value(1, mantissa, exponent);
  ticks.exponent = exponent;
  ticks.mantissa = mantissa;
  ticks.decimals = std::max(0, -exponent + (mantissa == 2.5 ? 1 : 0));
  // A bound that is a tick up to rounding stays a tick rather than adding one beyond it.
  auto first = static_cast<long long>(std::floor(in_steps(lo, mantissa, exponent) + 1e-9));
  auto last = static_cast<long long>(std::ceil(in_steps(hi, mantissa, exponent) - 1e-9));
  // Ticks past the largest double do not exist: the axis then ends at the data.
  ticks.lo = tick_value(first, mantissa, exponent);
  if (!std::isfinite(ticks.lo)) ticks.lo = lo, ++first;
  ticks.hi = tick_value(last, mantissa, exponent);
  if (!std::isfinite(ticks.hi)) ticks.hi = hi, --last;
  for (long long i = first; i <= last; ++i)
    ticks.values.push_back(tick_value(i, mantissa, exponent));
  return ticks;
}

std::string tick_label(double value, const Ticks& ticks) {
  if (ticks.exponent >= -kFixedExponents && ticks.exponent <= kFixedExponents)
    return format_fixed(value, ticks.decimals);
  // The tick's own decimal value, index * mantissa * 10^exponent, not the binary one's digits.
  const double units = std::round(in_steps(value, ticks.mantissa, ticks.exponent)) * ticks.mantissa;
  if (units == 0) return "0";
  // A whole number of steps times the mantissa (1, 2, 2.5 or 5), far below 2^60 (steps are no
  // finer than 2^-40 of the values): at most one decimal, so ten times it is a whole number whose
  // digits, without trailing zeros, are the label's mantissa. Written from that integer, since not
  // every standard library converts doubles with to_chars.
  const long long tenfold = std::llround(units * 10.0);
  std::string digits = std::to_string(tenfold < 0 ? -tenfold : tenfold);
  const int power = static_cast<int>(digits.size()) - 2;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string label = tenfold < 0 ? "-" : "";
  label.push_back(digits[0]);
  if (digits.size() > 1) {
    label.push_back('.');
    label.append(digits, 1);
  }
  label.push_back('e');
  label.append(std::to_string(power + ticks.exponent));
  return label;
}

double LinearScale::operator()(double value) const {
  if (domain_hi == domain_lo) return 0.5 * (range_lo + range_hi);
  double offset = value - domain_lo;
  double span = domain_hi - domain_lo;
  // Data near the largest double: the same ratio from halves, which cannot overflow.
  if (!std::isfinite(offset) || !std::isfinite(span)) {
    offset = half_difference(value, domain_lo);
    span = half_difference(domain_hi, domain_lo);
  }
  return range_lo + offset / span * (range_hi - range_lo);
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
