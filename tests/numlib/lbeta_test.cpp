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
  EXPECT_DOUBLE_EQ(DLBETA(1.0, 1.0) + 1.0, 1.0);  // ln B(1,1) = 0
  EXPECT_NEAR(DLBETA(2.0, 3.0), std::log(1.0 / 12.0), 1e-14);
  EXPECT_NEAR(DLBETA(0.5, 0.5), std::log(std::numbers::pi), 1e-14);
  EXPECT_NEAR(DLBETA(1.0, 7.5), -std::log(7.5), 1e-14);
  EXPECT_NEAR(DLBETA(3.0, 2.0), DLBETA(2.0, 3.0), 1e-15);
}

// The order-statistic normalisers use ln B(n-i+1, i) = -ln(n * C(n-1, i-1)).
TEST(Dlbeta, OrderStatisticNormalisers) {
  const int n = 30;
  double binom = 1.0;  // C(n-1, i-1)
  for (int i = 1; i <= n; ++i) {
    EXPECT_NEAR(DLBETA(n - i + 1, i), -std::log(n * binom), 1e-13) << i;
    binom = binom * (n - i) / i;
  }
}

TEST(Dlbeta, LargeArgumentsAgreeWithLogGammaSums) {
  for (auto [a, b] : {std::pair{1e3, 2.5e3}, {150000.0, 3.0}, {75000.5, 74999.5}, {1e8, 1e-3}}) {
    double expected = lgamma_sum(a, b);
    // The sum cancels down from about lgamma(a + b); allow for the rounding of its terms.
    double slack = 1e-15 * 8 * std::fabs(std::lgamma(a + b)) + 1e-13;
    EXPECT_NEAR(DLBETA(a, b), expected, slack) << a << " " << b;
  }
}

TEST(DlbetaDeathTest, NonPositiveArgumentIsFatal) {
  EXPECT_EXIT(DLBETA(0.0, 1.0), testing::ExitedWithCode(1), "DLBETA");
  EXPECT_EXIT(DLBETA(2.0, -1.0), testing::ExitedWithCode(1), "DLBETA");
  EXPECT_EXIT(DLBETA(-3.0, -3.0), testing::ExitedWithCode(1), "DLBETA");
  EXPECT_EXIT(DLBETA(std::numeric_limits<double>::quiet_NaN(), 1.0), testing::ExitedWithCode(1),
              "DLBETA");
}

// Where GSL cannot form the value it returns a NaN with a success status; that must not leak out.
TEST(DlbetaDeathTest, UncomputableValueIsFatalRatherThanNaN) {
  EXPECT_EXIT(DLBETA(std::numeric_limits<double>::infinity(), 1.0), testing::ExitedWithCode(1),
              "DLBETA");
  EXPECT_EXIT(DLBETA(1e-310, 1.0e20), testing::ExitedWithCode(1), "DLBETA");
}

}  // namespace
}  // namespace tarven::numlib
