#include "numlib/lbeta.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace tarven::numlib {
namespace {

double lgamma_sum(double a, double b) {
  return std::lgamma(a) + std::lgamma(b) - std::lgamma(a + b);
}

TEST(Dlbeta, KnownValues) {
  EXPECT_DOUBLE_EQ(DLBETA(1.0, 1.0).value + 1.0, 1.0);  // ln B(1,1) = 0
  EXPECT_NEAR(DLBETA(2.0, 3.0).value, std::log(1.0 / 12.0), 1e-14);
  EXPECT_NEAR(DLBETA(0.5, 0.5).value, std::log(std::numbers::pi), 1e-14);
  EXPECT_NEAR(DLBETA(1.0, 7.5).value, -std::log(7.5), 1e-14);
  EXPECT_NEAR(DLBETA(3.0, 2.0).value, DLBETA(2.0, 3.0).value, 1e-15);
}

// The order-statistic normalisers use ln B(n-i+1, i) = -ln(n * C(n-1, i-1)).
TEST(Dlbeta, OrderStatisticNormalisers) {
  const int n = 30;
  double binom = 1.0;  // C(n-1, i-1)
  for (int i = 1; i <= n; ++i) {
    EXPECT_NEAR(DLBETA(n - i + 1, i).value, -std::log(n * binom), 1e-13) << i;
    binom = binom * (n - i) / i;
  }
}

TEST(Dlbeta, LargeArgumentsAgreeWithLogGammaSums) {
  for (auto [a, b] : {std::pair{1e3, 2.5e3}, {150000.0, 3.0}, {75000.5, 74999.5}, {1e8, 1e-3}}) {
    double expected = lgamma_sum(a, b);
    // The sum cancels down from about lgamma(a + b); allow for the rounding of its terms.
    double slack = 1e-15 * 8 * std::fabs(std::lgamma(a + b)) + 1e-13;
    EXPECT_NEAR(DLBETA(a, b).value, expected, slack) << a << " " << b;
  }
}

// Either error is a fatal library error that stops the evaluation; a NaN must never leak out.
TEST(Dlbeta, NonPositiveOrUncomputableArgumentsAreErrors) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (auto [a, b] : {std::pair{0.0, 1.0}, {2.0, -1.0}, {-3.0, -3.0}, {nan, 1.0}})
    EXPECT_EQ(DLBETA(a, b).error, 1) << a << " " << b;
  // Where GSL cannot form the value it returns a NaN with a success status.
  for (auto [a, b] : {std::pair{inf, 1.0}, {1e-310, 1.0e20}}) EXPECT_EQ(DLBETA(a, b).error, 2);
  EXPECT_EQ(DLBETA(2.0, 3.0).error, 0);
}

}  // namespace
}  // namespace tarven::numlib
