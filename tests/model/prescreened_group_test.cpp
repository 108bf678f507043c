#include "model/prescreened_group.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/model/reference.h"

namespace tarven::model {
namespace {

// Groups across the range: strong and weak screening, either sign of rho, shifted means.
const GroupParameters kGroups[] = {
    {0.0, 0.5, 0.5244005127080407},  // retention 0.3
    {1.0, 0.4, 0.0},
    {8.0, 0.5, 0.8416212335729143},     // retention 0.2, majority at es 8
    {-3.0, -0.999, 4.753424308822899},  // retention 1e-6, screening nearly on X itself
    {2.0, 0.999, -4.753424308822899},   // retention 1 - 1e-6
    {0.5, -0.6, 1.2},
};

TEST(PrescreenedGroup, TailsMatchExtendedPrecisionRelativeToThemselves) {
  for (const GroupParameters& g : kGroups) {
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

TEST(PrescreenedGroup, TailsAreComplementsAndReachTheirLimits) {
  const double inf = std::numeric_limits<double>::infinity();
  for (const GroupParameters& g : kGroups) {
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

}  // namespace
}  // namespace tarven::model
