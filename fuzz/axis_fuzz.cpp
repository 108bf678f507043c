// Arbitrary doubles as the data range of a chart axis: every finite value, the extremes (near the
// largest double, subnormals near 1e-320) and the non-finite ones. Besides undefined behaviour and
// sanitizer findings, the run stops on a broken promise of the axis: ticks that are not finite,
// not increasing or too many, an axis that does not enclose the data (to a billionth of a step,
// within which a bound counts as on a tick), a tick outside it, two
// ticks with one label, a label that does not read back as its tick, or a pixel position that is
// not finite or lies off the axis.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <string>

#include "plot/axis.h"
#include "plot/svg_writer.h"

namespace {

[[noreturn]] void broken(const char* what, double lo, double hi) {
  std::fprintf(stderr, "axis invariant broken: %s (range %.17g .. %.17g)\n", what, lo, hi);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 * sizeof(double) + 1) return 0;
  double a = 0;
  double b = 0;
  std::memcpy(&a, data, sizeof a);
  std::memcpy(&b, data + sizeof a, sizeof b);
  const int target = static_cast<int>(data[2 * sizeof(double)]) - 8;  // some below 1
  const auto check = [&](bool ok, const char* what) {
    if (!ok) broken(what, a, b);
  };

  using tarven::plot::Ticks;
  const Ticks t = tarven::plot::nice_ticks(a, b, target);
  check(!t.values.empty(), "no ticks");
  check(t.values.size() <= 203, "too many ticks");
  check(std::isfinite(t.lo) && std::isfinite(t.hi) && t.lo < t.hi, "axis ends not finite");
  check(std::isfinite(t.step) && t.step > 0, "step not finite and positive");
  if (std::isfinite(a) && std::isfinite(b)) {
    // A bound within a billionth of a step of a tick counts as on it.
    const double slack = 1e-9 * t.step;
    check(t.lo <= std::min(a, b) + slack && t.hi >= std::max(a, b) - slack,
          "the axis does not enclose the data");
  }
  std::set<std::string> labels;
  for (std::size_t i = 0; i < t.values.size(); ++i) {
    const double v = t.values[i];
    check(std::isfinite(v), "a tick that is not finite");
    check(v >= t.lo && v <= t.hi, "a tick outside the axis");
    check(i == 0 || v > t.values[i - 1], "ticks not increasing");
    const std::string label = tarven::plot::tick_label(v, t);
    check(!label.empty() && label.find_first_of("nN") == std::string::npos &&
              label.find("Inf") == std::string::npos,
          "a label that is no number");
    const double back = std::strtod(label.c_str(), nullptr);
    // The label is the tick's exact decimal; the tick is that decimal to the nearest double.
    const double ulp = std::nextafter(std::fabs(v), HUGE_VAL) - std::fabs(v);
    check(std::fabs(back - v) <= 1e-3 * t.step + ulp,
          "a label that does not read back as its tick");
    check(labels.insert(label).second, "two ticks share a label");
  }

  const tarven::plot::LinearScale scale{t.lo, t.hi, 100.0, 500.0};
  for (const double v : {t.lo, t.hi, t.values.front(), t.values.back()}) {
    const double px = scale(v);
    check(std::isfinite(px) && px >= 100.0 - 1e-6 && px <= 500.0 + 1e-6, "a position off the axis");
  }
  tarven::plot::SvgWriter svg(600, 400, "fuzz");
  tarven::plot::draw_x_axis(svg, scale, t, 300, 100, 500);
  tarven::plot::draw_y_axis(svg, scale, t, 100, 500, true);
  const std::string text = svg.finish();
  check(text.find("NaN") == std::string::npos && text.find("Inf") == std::string::npos,
        "NaN or Inf written into the picture");
  return 0;
}
