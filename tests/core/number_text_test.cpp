// The portable spelling of numbers against std::to_chars, which it stands in for where the
// standard library lacks it: the same text for doubles of every kind.

#include "core/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace tarven::core {
namespace {

std::vector<double> samples() {
  std::vector<double> v{0.05,
                        0.025,
                        1e-6,
                        0.999999,
                        0.8,
                        1.0 / 3,
                        300,
                        1e5,
                        1e15,
                        1e16,
                        1e22,
                        1e23,
                        5e-324,
                        2.2250738585072014e-308,
                        1.7976931348623157e308,
                        9007199254740992.0,
                        9007199254740993.0,
                        123456789012345680000.0,
                        0.1 + 0.2,
                        -2.5,
                        -0.0,
                        0.0};
  std::mt19937_64 random(20240611);
  for (int i = 0; i < 20000; ++i) {
    // Any finite bit pattern.
    std::uint64_t bits = random();
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    if (std::isfinite(d)) v.push_back(d);
    // Short decimals at every scale, as people write them, and whole numbers.
    const double mantissa = static_cast<double>(random() % 100000);
    v.push_back(mantissa * std::pow(10.0, static_cast<int>(random() % 60) - 40));
    v.push_back(static_cast<double>(random() >> (random() % 64)));
    // Values of the size probabilities and ratios take.
    v.push_back(
        std::ldexp(static_cast<double>(random() >> 11), -53 - static_cast<int>(random() % 40)));
  }
  return v;
}

TEST(NumberText, PortableShortestMatchesToChars) {
  for (const double x : samples()) {
    char buffer[400];
    const auto general = std::to_chars(buffer, buffer + sizeof buffer, x);
    ASSERT_EQ(shortest_text_portable(x), std::string(buffer, general.ptr)) << x;
    const auto fixed = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed);
    ASSERT_EQ(shortest_fixed_text_portable(x), std::string(buffer, fixed.ptr)) << x;
  }
}

TEST(NumberText, ReadsBackAsTheSameDouble) {
  for (const double x : samples()) {
    EXPECT_EQ(std::strtod(shortest_text(x).c_str(), nullptr), x) << shortest_text(x);
    EXPECT_EQ(std::strtod(shortest_fixed_text(x).c_str(), nullptr), x) << shortest_fixed_text(x);
  }
}

}  // namespace
}  // namespace tarven::core
