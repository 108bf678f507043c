#include "engine/single/prescreened_group.h"

#include <gtest/gtest.h>

#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <cmath>
#include <limits>

#include "reference.h"

namespace tarven::engine::single {
namespace {

// Groups across the range: strong and weak screening, either sign of rho, shifted means.
const Group kGroups[] = {
    {0.0, 0.5, 0.5244005127080407},  // retention 0.3
    {1.0, 0.4, 0.0},
    {8.0, 0.5, 0.8416212335729143},     // retention 0.2, majority at es 8
    {-3.0, -0.999, 4.753424308822899},  // retention 1e-6, screening nearly on X itself
    {2.0, 0.999, -4.753424308822899},   // retention 1 - 1e-6
    {0.5, -0.6, 1.2},
};

TEST(PrescreenedGroup, TailsMatchExtendedPrecisionRelativeToThemselves) {
  for (const Group& g : kGroups) {
    const PrescreenedGroup group(g);
    const reference::Group exact(g.mu, g.rho, g.zcut);
    for (const double p : {1e-20, 1e-9, 0.3}) {
      for (const bool upper : {false, true}) {
        const double x = upper ? group.upper_quantile(p) : group.quantile(p);
        const reference::Real f = exact.cdf(x);
        const double want = static_cast<double>(upper ? 1 - f : f);
        const Tails got = group.tails(x);
        EXPECT_NEAR(upper ? got.sf : got.cdf, want, 1e-13 * want)
            << g.mu << " " << g.rho << " x " << x;
        EXPECT_NEAR(want, p, 1e-9 * p) << "quantile " << x;
        EXPECT_NEAR(group.pdf(x), static_cast<double>(exact.pdf(x)),
                    1e-13 * static_cast<double>(exact.pdf(x)));
      }
    }
  }
}

// The density integrated in double from far out must reproduce each tail: an oracle that knows
// nothing of orthants.
TEST(PrescreenedGroup, DensityIntegratesToEachTail) {
  const auto integral = [](const PrescreenedGroup& group, double from, double to) {
    // Short panels, so that the sharp screening edge of |rho| near 1 cannot slip between nodes.
    using Kronrod = boost::math::quadrature::gauss_kronrod<double, 61>;
    const auto pdf = [&group](double x) { return group.pdf(x); };
    double sum = 0.0;
    for (int n = 0; n < 48; ++n)
      sum += Kronrod::integrate(pdf, from + (to - from) * n / 48, from + (to - from) * (n + 1) / 48,
                                8, 1e-15);
    return sum;
  };
  for (const Group& g : kGroups) {
    const PrescreenedGroup group(g);
    for (const double p : {1e-12, 0.05}) {
      const double lo = group.quantile(p);
      const double hi = group.upper_quantile(p);
      const double below = integral(group, lo - 12.0, lo);
      const double above = integral(group, hi, hi + 12.0);
      EXPECT_NEAR(group.cdf(lo), below, 1e-13 * below) << g.mu << " " << g.rho;
      EXPECT_NEAR(group.sf(hi), above, 1e-13 * above) << g.mu << " " << g.rho;
    }
  }
}

TEST(PrescreenedGroup, TailsAreComplementsAndReachTheirLimits) {
  const double inf = std::numeric_limits<double>::infinity();
  for (const Group& g : kGroups) {
    const PrescreenedGroup group(g);
    for (double x = g.mu - 9.0; x <= g.mu + 9.0; x += 0.37) {
      const Tails t = group.tails(x);
      EXPECT_NEAR(t.cdf + t.sf, 1.0, 2.3e-16) << x;
    }
    for (const double x : {-inf, -1e300, -200.0}) {
      EXPECT_EQ(group.cdf(g.mu + x), 0.0);
      EXPECT_EQ(group.sf(g.mu + x), 1.0);
      EXPECT_EQ(group.pdf(g.mu + x), 0.0);
    }
    for (const double x : {200.0, 1e300, inf}) {
      EXPECT_EQ(group.cdf(g.mu + x), 1.0);
      EXPECT_EQ(group.sf(g.mu + x), 0.0);
    }
  }
}

TEST(PrescreenedGroup, UncorrelatedScreeningLeavesTheNormal) {
  const PrescreenedGroup group(Group{1.5, 0.0, 2.0});
  for (double x = -6.0; x <= 9.0; x += 0.5) {
    const double lower = 0.5 * std::erfc((1.5 - x) / std::sqrt(2.0));
    EXPECT_NEAR(group.cdf(x), lower, 1e-14 * lower);
  }
}

}  // namespace
}  // namespace tarven::engine::single
