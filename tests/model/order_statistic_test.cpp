#include "model/order_statistic.h"

#include <gtest/gtest.h>

#include <boost/math/special_functions/beta.hpp>
#include <cmath>

namespace tarven::model {
namespace {

struct Rank {
  int k, n;
};
const Rank kRanks[] = {{1, 1},         {1, 60},      {60, 60},         {7, 40},
                       {21000, 24000}, {3000, 6000}, {500000, 1000000}};

// The density is formed relative to its value near the mode; Boost's long-double evaluation,
// given the small side of u, is the oracle across the whole window.
TEST(OrderStatistic, DensityMatchesTheBetaDensity) {
  for (const Rank r : kRanks) {
    const OrderStatistic stat(r.k, r.n);
    const double a = r.k, b = r.n - r.k + 1;
    for (const double p : {1e-15, 1e-4, 0.3}) {
      for (const Tails u : {stat.lower_end(p), stat.upper_end(p)}) {
        const double want = u.cdf <= u.sf ? boost::math::ibeta_derivative(a, b, u.cdf)
                                          : boost::math::ibeta_derivative(b, a, u.sf);
        // Each power contributes a rounding of its logarithm, which is as large as the distance
        // from the mode makes it: (a-1) log(u/m) and (b-1) log((1-u)/(1-m)), m the mode.
        const double m = r.n == 1 ? 0.5 : (a - 1.0) / (r.n - 1.0);
        const double logs = (a > 1.0 ? (a - 1.0) * std::fabs(std::log(u.cdf / m)) : 0.0) +
                            (b > 1.0 ? (b - 1.0) * std::fabs(std::log(u.sf / (1.0 - m))) : 0.0);
        EXPECT_NEAR(stat.density(u), want, 2.2e-16 * (8.0 + logs) * want)
            << r.k << " of " << r.n << " at " << u.cdf << " / " << u.sf;
      }
    }
  }
}

}  // namespace
}  // namespace tarven::model
