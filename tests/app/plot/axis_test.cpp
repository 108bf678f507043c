// Nice ticks: properties that must hold for any range, checked over ranges of every magnitude.

#include "plot/axis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>

namespace tarven::plot {
namespace {

// The facts a reader relies on: the ticks enclose the data, are evenly spaced at 1, 2, 2.5 or 5
// times a power of ten, are neither too few nor too many, and their labels are distinct, exact and
// no longer than that needs.
void expect_good_ticks(double lo, double hi, int target) {
  SCOPED_TRACE(::testing::Message() << "range [" << lo << ", " << hi << "], target " << target);
  const Ticks t = nice_ticks(lo, hi, target);
  ASSERT_GE(t.values.size(), 2u);
  EXPECT_LE(t.lo, std::min(lo, hi));
  EXPECT_GE(t.hi, std::max(lo, hi));
  EXPECT_EQ(t.lo, t.values.front());
  EXPECT_EQ(t.hi, t.values.back());
  const auto intervals = static_cast<int>(t.values.size()) - 1;
  EXPECT_GE(intervals, std::max(1, target / 3));
  EXPECT_LE(intervals, 3 * target + 2);

  const double exponent = std::floor(std::log10(t.step) + 1e-12);
  const double mantissa = t.step / std::pow(10.0, exponent);
  EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
              std::abs(mantissa - 2.5) < 1e-9 || std::abs(mantissa - 5) < 1e-9)
      << "step " << t.step;

  std::set<std::string> labels;
  for (std::size_t i = 0; i < t.values.size(); ++i) {
    if (i > 0) {
      EXPECT_NEAR(t.values[i] - t.values[i - 1], t.step, 1e-9 * t.step);
    }
    const std::string label = tick_label(t.values[i], t);
    EXPECT_NEAR(std::stod(label), t.values[i], 1e-12 * std::max(1.0, std::abs(t.values[i])));
    labels.insert(label);
  }
  EXPECT_EQ(labels.size(), t.values.size()) << "two ticks share a label";
  if (t.decimals > 0) {
    bool needed = false;  // some tick would be misstated with one decimal fewer
    for (const double v : t.values) {
      needed = needed || std::abs(std::stod(format_fixed(v, t.decimals - 1)) - v) > 1e-9 * t.step;
    }
    EXPECT_TRUE(needed) << "one decimal fewer would do";
  }
}

TEST(NiceTicks, HoldForRangesOfEveryMagnitude) {
  std::mt19937 random(20240607);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int i = 0; i < 400; ++i) {
    const double scale = std::pow(10.0, -6 + 12 * unit(random));
    const double lo = (unit(random) - 0.3) * scale;
    const double hi = lo + unit(random) * scale + 1e-3 * scale;
    expect_good_ticks(lo, hi, 2 + i % 8);
  }
}

TEST(NiceTicks, DegenerateRangesStillGiveAnAxisAroundTheData) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  expect_good_ticks(0, 0, 5);
  expect_good_ticks(0, 1e-4, 5);
  expect_good_ticks(3.5, 3.5, 5);
  expect_good_ticks(-2, -2, 5);
  expect_good_ticks(5, 1, 5);  // reversed
  const Ticks t = nice_ticks(nan, 1, 5);
  EXPECT_TRUE(std::isfinite(t.lo) && std::isfinite(t.hi) && t.lo < t.hi);
}

// At the ends of the double range fixed labels would be hundreds of digits (or all zeros): there
// the ticks are still finite, distinct and around the data, and labelled in exponent form.
TEST(NiceTicks, TheEndsOfTheDoubleRangeGetFiniteTicksAndExponentLabels) {
  const double largest = std::numeric_limits<double>::max();
  struct Case {
    double lo, hi;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {1.2e-320, 2.9e-320, {"1e-320", "1.5e-320", "2e-320", "2.5e-320", "3e-320"}},
      {0, 5e-324, {}},
      {-largest, largest, {"-1e308", "0", "1e308"}},
      {1e308, 1.7e308, {"1e308", "1.2e308", "1.4e308", "1.6e308"}},
      {2e20, 3e20, {"2e20", "2.2e20", "2.4e20", "2.6e20", "2.8e20", "3e20"}},
      // Steps of 2.5: the exponent labels keep their half units.
      {0, 1.1e-123, {"0", "2.5e-124", "5e-124", "7.5e-124", "1e-123", "1.25e-123"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.lo << " .. " << c.hi);
    const Ticks t = nice_ticks(c.lo, c.hi, 5);
    ASSERT_FALSE(t.values.empty());
    EXPECT_TRUE(std::isfinite(t.lo) && std::isfinite(t.hi));
    EXPECT_LE(t.lo, c.lo);
    EXPECT_GE(t.hi, c.hi);
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < t.values.size(); ++i) {
      EXPECT_TRUE(std::isfinite(t.values[i]));
      if (i > 0) {
        EXPECT_LT(t.values[i - 1], t.values[i]);
      }
      labels.push_back(tick_label(t.values[i], t));
    }
    if (!c.labels.empty()) {
      EXPECT_EQ(labels, c.labels);
    }
    EXPECT_EQ(std::set<std::string>(labels.begin(), labels.end()).size(), labels.size());
    const LinearScale scale{t.lo, t.hi, 0, 400};
    for (const double v : {c.lo, c.hi}) {
      EXPECT_TRUE(scale(v) >= 0 && scale(v) <= 400) << scale(v);
    }
  }
}

TEST(NiceTicks, ARangeNarrowForItsMagnitudeGetsTicksItCanTellApart) {
  const Ticks t = nice_ticks(1e16, 1e16 + 2, 5);
  std::set<double> distinct(t.values.begin(), t.values.end());
  EXPECT_EQ(distinct.size(), t.values.size());
  EXPECT_GE(t.values.size(), 2u);
}

}  // namespace
}  // namespace tarven::plot
