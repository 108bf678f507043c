#include "driver/group_mean_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "tests/recording_unit.h"

namespace tarven::driver {
namespace {

using testing_support::RecordingUnit;

model::ModelState problem_state(double es, double rho, double zcut) {
  model::ModelState s;
  s.rsq2pi = 1.0 / std::sqrt(6.283185307179586);
  s.es = es;
  s.rho = rho;
  s.zcut = zcut;
  return s;
}

std::pair<double, double> values_of(const std::string& line) {
  std::istringstream in(line.substr(8));
  double a = 0, b = 0;
  in >> a >> b;
  return {a, b};
}

TEST(GroupMeanCheck, ShowsIntegratedThenClosedFormMeans) {
  // es 1, rho 0.5, retention 0.5 (zcut 0).
  model::ModelState s = problem_state(1.0, 0.5, 0.0);
  RecordingUnit console;
  group_mean_check(s, console);
  ASSERT_EQ(console.lines.size(), 2u);
  EXPECT_EQ(console.lines[1], "ZMI ZMA     0.398942    1.254580");
  ASSERT_TRUE(console.lines[0].starts_with("ZMI ZMA ")) << console.lines[0];
  const auto [zmi, zma] = values_of(console.lines[0]);
  // The integrals stop at 7.0; the mass above it is far below the printed digits here.
  EXPECT_NEAR(zmi, 0.398942, 2e-6);
  EXPECT_NEAR(zma, 1.254580, 2e-6);
}

TEST(GroupMeanCheck, LeavesTheMomentSwitchOffAndTheMajoritySelected) {
  model::ModelState s = problem_state(0.5, 0.3, -0.2533);
  RecordingUnit console;
  group_mean_check(s, console);
  EXPECT_EQ(s.imom, 0);
  EXPECT_EQ(s.imaj, 1);
}

TEST(GroupMeanCheck, WithoutCorrelationTheMeansAreZeroAndTheEffectSize) {
  model::ModelState s = problem_state(0.75, 0.0, 1.0);
  RecordingUnit console;
  group_mean_check(s, console);
  ASSERT_EQ(console.lines.size(), 2u);
  EXPECT_EQ(console.lines[1], "ZMI ZMA     0.000000    0.750000");
  const auto [zmi, zma] = values_of(console.lines[0]);
  EXPECT_NEAR(zmi, 0.0, 1e-6);
  EXPECT_NEAR(zma, 0.75, 1e-6);
}

}  // namespace
}  // namespace tarven::driver
