#include "model/bivariate_normal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/model/reference.h"

namespace tarven::model {
namespace {

double normal_cdf(double x) {
  return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

TEST(BivariateNormal, PublishedTableValues) {
  // National Bureau of Standards, Tables of the Bivariate Normal Distribution and Related
  // Functions (Applied Mathematics Series 50, 1959), as carried in J. Burkardt's test_values
  // collection: P(X <= x, Y <= y) for correlation r. These hold eleven digits or more; other
  // entries of that collection hold only seven.
  struct Case {
    double x, y, r, p;
  };
  for (const Case c :
       {Case{-0.2, 0.5, -0.9, 0.1377019384919464}, Case{-0.2, 0.5, 0.0, 0.2909261168683812},
        Case{-0.2, 0.5, 0.9, 0.4162100291953678}, Case{1.0, 0.5, 0.673, 0.6508271498838664}}) {
    EXPECT_NEAR(bivariate_normal_cdf(c.x, c.y, c.r), c.p, 3e-12) << c.x << " " << c.y << " " << c.r;
  }
  // Sheppard's closed form at the origin.
  for (const double r : {-0.999, -0.5, 0.3, 0.999})
    EXPECT_NEAR(bivariate_normal_cdf(0.0, 0.0, r), 0.25 + std::asin(r) / (2.0 * M_PI), 1e-16);
}

TEST(BivariateNormal, IndependentPairFactorises) {
  for (double h = -9.0; h <= 9.0; h += 0.75) {
    for (double k = -9.0; k <= 9.0; k += 1.25) {
      const double product = normal_cdf(h) * normal_cdf(k);
      EXPECT_NEAR(bivariate_normal_cdf(h, k, 0.0), product, 1e-13 * product) << h << " " << k;
    }
  }
}

TEST(BivariateNormal, PerfectCorrelationLimits) {
  for (const double h : {-3.0, -0.4, 0.0, 1.7}) {
    for (const double k : {-2.5, 0.3, 2.0}) {
      const double together = normal_cdf(std::min(h, k));
      const double opposed = std::max(0.0, normal_cdf(h) + normal_cdf(k) - 1.0);
      EXPECT_NEAR(bivariate_normal_cdf(h, k, 1.0), together, 2.3e-16);
      EXPECT_NEAR(bivariate_normal_cdf(h, k, -1.0), opposed, 2.3e-16);
      // The approach is like sqrt(1 - |rho|): within 1e-5 at 1e-10 from the limit.
      EXPECT_NEAR(bivariate_normal_cdf(h, k, 1.0 - 1e-10), together, 1e-5);
      EXPECT_NEAR(bivariate_normal_cdf(h, k, -1.0 + 1e-10), opposed, 1e-5);
    }
  }
}

// P(X <= h, Y <= k) + P(X <= h, Y > k) = P(X <= h), and the second term is the first with k and
// rho negated: two evaluations on opposite sides must add up to the marginal.
TEST(BivariateNormal, HalvesAddUpToTheMarginal) {
  for (const double rho : {-0.999, -0.6, 0.2, 0.95}) {
    for (double h = -6.0; h <= 6.0; h += 0.5) {
      for (double k = -6.0; k <= 6.0; k += 1.5) {
        const double sum = bivariate_normal_cdf(h, k, rho) + bivariate_normal_cdf(h, -k, -rho);
        EXPECT_NEAR(sum, normal_cdf(h), 4e-16) << h << " " << k << " " << rho;
      }
    }
  }
}

// Far-tail orthants, where the closed form cancels in double and the engine integrates instead;
// each is held to its own size against Owen's formula in 50 digits.
TEST(BivariateNormal, TailsAccurateRelativeToThemselves) {
  struct Case {
    double h, k, rho;
  };
  for (const Case c : {Case{6.0, 7.0, 0.5}, Case{2.5, 6.5, 0.25}, Case{8.0, 1.0, -0.7},
                       Case{-2.0, 5.0, -0.9}, Case{-1.5, 1.6, -0.999}, Case{-1.6, 1.5, -0.999},
                       Case{4.0, -3.0, 0.999}, Case{-7.0, -7.5, 0.3}}) {
    const reference::Real exact = reference::bivariate_normal_cdf(-c.h, -c.k, c.rho);
    const double upper = bivariate_normal_upper(c.h, c.k, c.rho);
    EXPECT_NEAR(upper, static_cast<double>(exact), 1e-13 * static_cast<double>(exact))
        << c.h << " " << c.k << " " << c.rho;
  }
}

TEST(BivariateNormal, InfiniteLimitsGiveExactValues) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(bivariate_normal_cdf(-inf, 0.3, 0.5), 0.0);
  EXPECT_EQ(bivariate_normal_cdf(0.3, -inf, -0.5), 0.0);
  EXPECT_EQ(bivariate_normal_cdf(inf, inf, 0.5), 1.0);
  // Within an ulp or two: the two sides take Phi(0.3) from different erfc evaluations.
  EXPECT_NEAR(bivariate_normal_cdf(inf, 0.3, 0.8), normal_cdf(0.3), 3e-16);
  EXPECT_TRUE(std::isnan(bivariate_normal_cdf(std::nan(""), 0.0, 0.0)));
}

}  // namespace
}  // namespace tarven::model
