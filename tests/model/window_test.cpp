#include "model/window.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/prescreened.h"
#include "model_test_support.h"

namespace tarven::model {
namespace {

using testing::normal_density;
using testing::normal_upper_tail;
using testing::set_problem;

// Mass of a pre-screened group between lo and hi, by a composite Simpson rule with the C library's
// normal tails: shares nothing with dist but the model.
double reference_mass(double lo, double hi, double mu, const ModelState& s) {
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
double direct_estimate(const ModelState& s) {
  const double maj_out =
      reference_mass(6.5, s.es + 14.0, s.es, s) + reference_mass(s.es - 14.0, -6.5, s.es, s);
  const double min_out = reference_mass(-14.0, -6.5, 0.0, s);
  return 1.0 - std::pow(1.0 - maj_out, s.nmaj) * std::pow(1.0 - min_out, s.nmin);
}

TEST(OutsideWindow, TypicalProblemIsWellInside) {
  ModelState s;
  set_problem(s, 0.5, 0.3, 0.6, 7, 3);
  const double p = outside_window_probability(s);
  EXPECT_GT(p, 0.0);
  EXPECT_LT(p, 1e-5);
  // 1 - F(6.5) is only known to about 1e-12 absolute.
  EXPECT_NEAR(p, direct_estimate(s), 1e-11);
}

TEST(OutsideWindow, LargeEffectWithStrongScreeningReachesOutside) {
  ModelState s;
  set_problem(s, 2.5, 0.7, 0.1, 10, 10);
  const double p = outside_window_probability(s);
  EXPECT_GT(p, 1e-5);
  EXPECT_NEAR(p, direct_estimate(s), 1e-6 * p);
}

TEST(OutsideWindow, EstimateIsSilentEvenWhenItsIntegrationsMisbehave) {
  // The estimate is not a step of the computation: it must neither print diagnostics nor use up
  // the library's allowance of messages. One subinterval makes every integration end abnormally.
  ModelState s;
  set_problem(s, 2.5, 0.7, 0.1, 10, 10);
  s.dist_work = numlib::QuadWorkspace(1);
  testing::RecordingDiagnostics diagnostics;
  s.diagnostics = &diagnostics;
  ASSERT_NE(integrate_dist(kWindowHigh, s).ier, 0);
  outside_window_probability(s);
  EXPECT_TRUE(diagnostics.events.empty());
}

TEST(OutsideWindow, UnscreenedGroupsAgainstNormalTails) {
  // With rho 0 each group is a shifted standard normal.
  ModelState s;
  set_problem(s, 3.0, 0.0, 0.5, 4, 6);
  const double maj_out = normal_upper_tail(3.5) + normal_upper_tail(9.5);
  const double min_out = normal_upper_tail(6.5);
  const double expected = 1.0 - std::pow(1.0 - maj_out, 4) * std::pow(1.0 - min_out, 6);
  EXPECT_NEAR(outside_window_probability(s), expected, 1e-7 * expected);
  // More applicants, more chances to fall outside.
  set_problem(s, 3.0, 0.0, 0.5, 40, 6);
  EXPECT_GT(outside_window_probability(s), 5.0 * expected);
}

TEST(OutsideWindow, LeavesTheSwitchesAsItFoundThem) {
  ModelState s;
  set_problem(s, 1.0, 0.5, 0.5, 3, 3);
  s.imaj = 7;
  s.imom = 1;
  const double p = outside_window_probability(s);
  EXPECT_EQ(s.imaj, 7);
  EXPECT_EQ(s.imom, 1);
  // The moment switch did not leak into the distribution values.
  s.imom = 0;
  EXPECT_EQ(outside_window_probability(s), p);
}

}  // namespace
}  // namespace tarven::model
