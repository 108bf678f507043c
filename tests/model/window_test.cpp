#include "model/window.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/prescreened.h"
#include "model_test_support.h"

namespace tarven::model {
namespace {

using testing::normal_density;
using testing::normal_upper_tail;
using testing::problem;

// Mass of a pre-screened group between lo and hi, by a composite Simpson rule with the C library's
// normal tails: shares nothing with dist but the model.
double reference_mass(double lo, double hi, double mu, const Population& s) {
  const double c = s.zcut - s.rho * mu;
  const double root = std::sqrt(1.0 - s.rho * s.rho);
  auto density = [&](double t) {
    const double d = t - mu;
    return normal_density(d) * normal_upper_tail((c - d * s.rho) / root) / normal_upper_tail(c);
  };
  const int n = 20000;
  const double h = (hi - lo) / n;
  double sum = density(lo) + density(hi);
  for (int k = 1; k < n; ++k) sum += density(lo + k * h) * (k % 2 != 0 ? 4.0 : 2.0);
  return sum * h / 3.0;
}

// Probability that some sampled score falls where the pair integrals do not look: a majority score
// above 6.5 or below -6.5, or a minority score below -6.5.
double direct_estimate(const Population& s) {
  const double maj_out =
      reference_mass(6.5, s.es + 14.0, s.es, s) + reference_mass(s.es - 14.0, -6.5, s.es, s);
  const double min_out = reference_mass(-14.0, -6.5, 0.0, s);
  return 1.0 - std::pow(1.0 - maj_out, s.nmaj) * std::pow(1.0 - min_out, s.nmin);
}

double outside(const Population& p) {
  numlib::QuadWorkspace work(kDistLimit);
  return outside_window_probability(p, work);
}

TEST(OutsideWindow, TypicalProblemIsWellInside) {
  const Population s = problem(0.5, 0.3, 0.6, 7, 3);
  const double p = outside(s);
  EXPECT_GT(p, 0.0);
  EXPECT_LT(p, 1e-5);
  // 1 - F(6.5) is only known to about 1e-12 absolute.
  EXPECT_NEAR(p, direct_estimate(s), 1e-11);
}

TEST(OutsideWindow, LargeEffectWithStrongScreeningReachesOutside) {
  const Population s = problem(2.5, 0.7, 0.1, 10, 10);
  const double p = outside(s);
  EXPECT_GT(p, 1e-5);
  EXPECT_NEAR(p, direct_estimate(s), 1e-6 * p);
}

TEST(OutsideWindow, UnscreenedGroupsAgainstNormalTails) {
  // With rho 0 each group is a shifted standard normal.
  const double maj_out = normal_upper_tail(3.5) + normal_upper_tail(9.5);
  const double min_out = normal_upper_tail(6.5);
  const double expected = 1.0 - std::pow(1.0 - maj_out, 4) * std::pow(1.0 - min_out, 6);
  EXPECT_NEAR(outside(problem(3.0, 0.0, 0.5, 4, 6)), expected, 1e-7 * expected);
  // More applicants, more chances to fall outside.
  EXPECT_GT(outside(problem(3.0, 0.0, 0.5, 40, 6)), 5.0 * expected);
}

}  // namespace
}  // namespace tarven::model
