#include "model/normal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/population.h"
#include "model_test_support.h"

namespace tarven::model {
namespace {

using testing::normal_cdf;
using testing::normal_upper_tail;

double below(double x) {
  return std::nextafter(x, -std::numeric_limits<double>::infinity());
}
double above(double x) {
  return std::nextafter(x, std::numeric_limits<double>::infinity());
}

TEST(Phid, KnownValuesToSevenDecimals) {
  EXPECT_NEAR(phid(1.0), 0.8413447, 5e-8);
  EXPECT_NEAR(phid(-1.96), 0.0249979, 5e-8);
  EXPECT_NEAR(phid(3.0), 0.9986501, 5e-8);
}

TEST(Phid, TailAccurateOverTheWholeRange) {
  // The lower tail Q(a) = phid(-a) is what the pre-screened densities divide by, so it must hold
  // its relative accuracy far out, in both branches.
  // The rational form holds about 15 digits up to a = 3; the tail forms hold 8 or more digits of
  // the tail itself out to 37 (what the approximation offers; a wrong coefficient costs far more).
  for (double a = 0.0; a <= 37.0; a += 0.0625) {
    const double ref = normal_upper_tail(a);
    EXPECT_NEAR(phid(-a), ref, (a <= 3.0 ? 2e-14 : 1e-8) * ref) << "a = " << a;
    EXPECT_NEAR(phid(a), 1.0 - ref, 3e-16) << "a = " << a;
  }
}

TEST(Phid, ZeroOfEitherSignIsExactlyOneHalf) {
  EXPECT_EQ(phid(0.0), 0.5);
  EXPECT_EQ(phid(-0.0), 0.5);
}

TEST(Phid, CutOffBeyondThirtySeven) {
  // 37 itself still goes through the continued fraction: a tiny positive lower tail.
  EXPECT_GT(phid(-37.0), 0.0);
  EXPECT_NEAR(phid(-37.0), normal_upper_tail(37.0), 1e-12 * normal_upper_tail(37.0));
  EXPECT_EQ(phid(37.0), 1.0);
  EXPECT_EQ(phid(37.0000001), 1.0);
  EXPECT_EQ(phid(-37.0000001), 0.0);
  EXPECT_EQ(phid(above(37.0)), 1.0);
  EXPECT_EQ(phid(-above(37.0)), 0.0);
  EXPECT_EQ(phid(std::numeric_limits<double>::infinity()), 1.0);
  EXPECT_EQ(phid(-std::numeric_limits<double>::infinity()), 0.0);
}

TEST(Phid, BranchSwitchesExactlyAtTenOverRootTwo) {
  // There the tail is about 7.687e-13 and the two approximations of it differ by a few parts in
  // 1e9, far more than the function itself changes over one unit in the last place (about 6e-15
  // relative). So a jump of that size between two neighbouring doubles shows where the switch is.
  const double split = 7.071067811865475;
  for (const double a : {below(split), split}) EXPECT_NEAR(phid(-a), 7.687e-13, 0.001e-13);
  auto step = [](double a, double b) { return std::fabs(phid(-a) / phid(-b) - 1.0); };
  EXPECT_GT(step(below(split), split), 1e-9);
  EXPECT_LT(step(below(split), split), 1e-8);
  EXPECT_LT(step(below(below(split)), below(split)), 2e-14);
  EXPECT_LT(step(split, above(split)), 2e-14);
}

TEST(Phid, UpperTailRoundsToOneAboveEightPointThree) {
  EXPECT_GT(1.0 - phid(8.0), 0.0);
  EXPECT_EQ(1.0 - phid(8.5), 0.0);
  // The lower tail at the same distance is still representable.
  EXPECT_GT(phid(-8.5), 0.0);
}

TEST(Ppnd, KnownValuesToSevenDecimals) {
  struct Case {
    double p, z;
  };
  for (const Case c : {Case{0.975, 1.9599640}, Case{0.95, 1.6448536}, Case{0.05, -1.6448536},
                       Case{0.3, -0.5244005}, Case{1e-10, -6.3613409}, Case{1e-12, -7.0344838}}) {
    int ifault = -1;
    EXPECT_NEAR(ppnd(c.p, ifault), c.z, 5e-8) << "p = " << c.p;
    EXPECT_EQ(ifault, 0);
  }
  int ifault = -1;
  EXPECT_EQ(ppnd(0.5, ifault), 0.0);
  EXPECT_EQ(ifault, 0);
}

TEST(Ppnd, FaultOutsideTheOpenUnitInterval) {
  for (const double p : {0.0, 1.0, -0.2, 1.5}) {
    int ifault = 0;
    EXPECT_EQ(ppnd(p, ifault), 0.0) << "p = " << p;
    EXPECT_EQ(ifault, 1) << "p = " << p;
  }
  // A fault is not sticky: the flag is cleared by the next good call.
  int ifault = 1;
  ppnd(0.2, ifault);
  EXPECT_EQ(ifault, 0);
}

// Phi(ppnd(p)) must give p back to about the accuracy of the double p itself; the reference
// distribution function is the C library's erfc, not phid.
void expect_inverts(double p) {
  int ifault = -1;
  const double z = ppnd(p, ifault);
  ASSERT_EQ(ifault, 0) << "p = " << p;
  const double back = p < 0.5 ? normal_cdf(z) : normal_upper_tail(z);
  const double target = p < 0.5 ? p : 1.0 - p;
  // Relative error of the tail probability is |z| (or 1/p) times that of z.
  EXPECT_NEAR(back, target, 4e-15 * (1.0 + std::fabs(z)) * (1.0 + std::fabs(z)) * target)
      << "p = " << p;
}

TEST(Ppnd, AccurateOnBothSidesOfTheCentralSplit) {
  // 0.075 - 0.5 is exactly -0.425 (central); 0.925 - 0.5 is 0.42500000000000004 (tail).
  for (const double p : {0.075, below(0.075), above(0.075), 0.925, below(0.925), above(0.925)})
    expect_inverts(p);
}

TEST(Ppnd, AccurateOnBothSidesOfTheFarTailSplit) {
  // The largest p whose sqrt(-ln p) exceeds 5 and its neighbour above, which stays at or below 5.
  double p = std::exp(-25.0);
  while (std::sqrt(-std::log(p)) <= 5.0) p = below(p);
  while (std::sqrt(-std::log(above(p))) > 5.0) p = above(p);
  ASSERT_GT(std::sqrt(-std::log(p)), 5.0);
  ASSERT_LE(std::sqrt(-std::log(above(p))), 5.0);
  for (const double q : {p, above(p), below(p), above(above(p))}) {
    expect_inverts(q);
    expect_inverts(1.0 - q);
  }
}

TEST(Ppnd, AccurateAcrossTheRange) {
  for (double p = 1e-300; p < 0.5; p *= 7.3) {
    expect_inverts(p);
    if (1.0 - p < 1.0) expect_inverts(1.0 - p);
  }
  for (double p = 0.01; p < 1.0; p += 0.01) expect_inverts(p);
}

TEST(Phib, StandardDensityAndScaling) {
  struct {
    double rsq2pi = start_up_rsq2pi();
  } s;
  for (const double x : {-8.0, -2.5, -1.0, -0.0, 0.3, 1.7, 6.5}) {
    EXPECT_DOUBLE_EQ(phib(x, 0.0, 1.0, s.rsq2pi), s.rsq2pi * std::exp(-x * x / 2.0)) << "x = " << x;
  }
  // At the mean only the normaliser is left, and dividing by sqrt(4) = 2 is exact.
  for (const double m : {-3.0, 0.0, 0.7}) EXPECT_EQ(phib(m, m, 4.0, s.rsq2pi), s.rsq2pi / 2.0);
  // A general mean and variance against the density written out.
  EXPECT_NEAR(phib(1.3, 0.3, 2.25, s.rsq2pi), testing::normal_density(1.0 / 1.5) / 1.5, 1e-16);
  // The constant is read from the state, not built in.
  EXPECT_EQ(phib(0.4, 0.0, 1.0, 2.0 * s.rsq2pi), 2.0 * phib(0.4, 0.0, 1.0, s.rsq2pi));
}

}  // namespace
}  // namespace tarven::model
