#include "model/prescreened.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "model/normal.h"
#include "model_test_support.h"

namespace tarven::model {
namespace {

using testing::normal_density;
using testing::normal_upper_tail;
using testing::problem;
using testing::RecordingSink;

constexpr Group kGroups[] = {Group::kMinority, Group::kMajority};

double mean_of(Group g, const Population& p) {
  return g == Group::kMajority ? p.es : 0.0;
}

// The worked example: es 1, rho 0.5, zcut 0 (retention one half).
Population worked_example() {
  return problem(1.0, 0.5, 0.5);
}

TEST(Phide, WorkedExampleValues) {
  const Population p = worked_example();
  ASSERT_EQ(p.zcut, 0.0);
  struct Case {
    Group g;
    double x, density;
  };
  for (const Case c :
       {Case{Group::kMinority, 0.0, 0.398942}, Case{Group::kMinority, 1.0, 0.347542},
        Case{Group::kMajority, 0.0, 0.174970}, Case{Group::kMajority, 1.0, 0.414339}}) {
    const double plain = phide(c.x, c.g, Moment::kDensity, p);
    EXPECT_NEAR(plain, c.density, 5e-7) << "x " << c.x;
    // First-moment mode multiplies by the abscissa: unchanged at 1, exactly 0 at 0.
    EXPECT_EQ(phide(c.x, c.g, Moment::kFirst, p), c.x == 1.0 ? plain : 0.0) << "x " << c.x;
    for (const double x : {-2.0, 0.5, 3.0})
      EXPECT_DOUBLE_EQ(phide(x, c.g, Moment::kFirst, p), x * phide(x, c.g, Moment::kDensity, p));
  }
}

TEST(Phide, WithoutCorrelationThePreScreeningDropsOut) {
  for (const double retention : {0.05, 0.5, 0.9}) {
    const Population p = problem(0.8, 0.0, retention);
    for (const Group g : kGroups)
      for (const double x : {-4.0, -0.3, 0.0, 1.1, 5.0})
        EXPECT_DOUBLE_EQ(phide(x, g, Moment::kDensity, p),
                         phib(x - mean_of(g, p), 0.0, 1.0, p.rsq2pi))
            << "retention " << retention << " x " << x;
  }
}

TEST(Phide, UpperTailOfTheConditionalSelectionIsExactlyZero) {
  // Far below the cut with a strong positive correlation nobody is retained.
  EXPECT_EQ(phide(-3.0, Group::kMinority, Moment::kDensity, problem(1.0, 0.99, 0.01)), 0.0);
  // With the correlation reversed the same happens far above.
  EXPECT_EQ(phide(3.0, Group::kMinority, Moment::kDensity, problem(1.0, -0.99, 0.01)), 0.0);
}

std::uint64_t bits(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

TEST(Phide, KeptConstantsChangeNoBits) {
  // The population keeps sqrt(1 - rho^2) and each group's retention; every value must equal, bit
  // for bit, the density with everything formed afresh.
  int compared = 0;
  for (const double rho : {0.5, -0.3, 0.0, 0.99, -0.99, 0.7})
    for (const double es : {0.0, 1.0, -0.4, 2.5})
      for (const double retention : {0.01, 0.3, 0.5, 0.9}) {
        const Population p = problem(es, rho, retention);
        for (const Group g : kGroups)
          for (const Moment m : {Moment::kDensity, Moment::kFirst}) {
            for (double x = -8.0; x <= 8.0; x += 0.37) {
              ASSERT_EQ(bits(phide(x, g, m, p)), bits(phide_unhoisted(x, g, m, p)))
                  << "rho " << rho << " es " << es << " retention " << retention << " x " << x;
              ++compared;
            }
          }
      }
  EXPECT_GT(compared, 10000);
}

// F(x) of a pre-screened group by a plain composite Simpson rule, with the C library's erfc for
// the normal tails: an evaluation that shares nothing with dist but the model.
double reference_cdf(double x, double mu, double rho, double zcut) {
  const double c = zcut - rho * mu;
  const double root = std::sqrt(1.0 - rho * rho);
  auto density = [&](double t) {
    const double d = t - mu;
    return normal_density(d) * normal_upper_tail((c - d * rho) / root) / normal_upper_tail(c);
  };
  const double lo = mu - 14.0;
  if (x <= lo) return 0.0;
  const int n = 20000;
  const double h = (x - lo) / n;
  double sum = density(lo) + density(x);
  for (int k = 1; k < n; ++k) sum += density(lo + k * h) * (k % 2 != 0 ? 4.0 : 2.0);
  return sum * h / 3.0;
}

// dist of a group in a fresh work area, with its reports recorded.
double dist_of(double x, Group g, const Population& p, Moment m = Moment::kDensity) {
  numlib::QuadWorkspace work(kDistLimit);
  RecordingSink sink;
  return dist(x, g, m, p, work, sink);
}

TEST(Dist, AgreesWithAnIndependentIntegration) {
  const Population p = problem(1.2, 0.6, 0.3);
  for (const Group g : kGroups) {
    for (const double x : {-3.0, -0.5, 0.4, 1.5, 3.5}) {
      const double ref = reference_cdf(x, mean_of(g, p), p.rho, p.zcut);
      EXPECT_NEAR(dist_of(x, g, p), ref, 1e-10 * ref + 1e-13) << "x " << x;
    }
  }
  // Without correlation it is the shifted normal distribution function.
  const Population q = problem(0.7, 0.0, 0.4);
  for (const Group g : kGroups)
    for (const double x : {-2.0, 0.0, 2.5})
      EXPECT_NEAR(dist_of(x, g, q), testing::normal_cdf(x - mean_of(g, q)), 1e-12);
}

TEST(Dist, TendsToZeroAndOne) {
  for (const double rho : {0.5, -0.5}) {
    const Population p = problem(1.0, rho, 0.2);
    for (const Group g : kGroups) {
      double previous = 0.0;
      for (const double x : {-12.0, -8.0, -4.0, 0.0, 4.0, 8.0, 12.0}) {
        const double F = dist_of(x, g, p);
        EXPECT_GE(F, previous - 1e-14) << "rho " << rho << " x " << x;
        previous = F;
      }
      EXPECT_LT(dist_of(-12.0, g, p), 1e-20);
      EXPECT_NEAR(dist_of(12.0, g, p), 1.0, 1e-12);
    }
  }
}

TEST(Dist, IntegratedMeansMatchTheClosedForms) {
  // Up to 7 the first moment is the group mean less the tiny mass above 7.
  const Population s = worked_example();
  const double minority = dist_of(7.0, Group::kMinority, s, Moment::kFirst);
  const double majority = dist_of(7.0, Group::kMajority, s, Moment::kFirst);
  const double c = s.zcut - s.rho * s.es;
  EXPECT_NEAR(minority, s.rho * normal_density(s.zcut) / normal_upper_tail(s.zcut), 1e-9);
  EXPECT_NEAR(majority, s.es + s.rho * normal_density(c) / normal_upper_tail(c), 1e-7);
  EXPECT_NEAR(minority, 0.398942, 5e-7);
  EXPECT_NEAR(majority, 1.254580, 5e-7);
}

TEST(Dist, QuietWhenTheIntegrationSucceeds) {
  const Population p = problem(1.0, 0.9, 0.05);
  numlib::QuadWorkspace work(kDistLimit);
  RecordingSink sink;
  for (const Group g : kGroups)
    for (double x = -6.5; x <= 6.5; x += 0.5) dist(x, g, Moment::kDensity, p, work, sink);
  EXPECT_TRUE(sink.events.empty());
}

TEST(Dist, AbnormalReturnIsReportedWithItsBoundAndErrorEstimateAndKeepsTheEstimate) {
  // One subinterval is not enough for 1e-12: the integrator gives up with error code 1.
  const Population p = worked_example();
  numlib::QuadWorkspace one(1);
  RecordingSink sink;
  const double x = 0.75;
  const DistOutcome outcome = integrate_dist(x, Group::kMajority, Moment::kDensity, p, one);
  ASSERT_EQ(outcome.ier, 1);
  EXPECT_TRUE(sink.events.empty());  // the integration alone reports nothing

  const double F = dist(x, Group::kMajority, Moment::kDensity, p, one, sink);
  EXPECT_EQ(F, outcome.value);
  ASSERT_EQ(sink.events.size(), 1u);
  const Diagnostic& d = sink.events[0];
  EXPECT_EQ(d.source, DiagnosticSource::kDist);
  EXPECT_EQ(d.ier, 1);
  EXPECT_EQ(d.abscissa, x);
  EXPECT_EQ(d.abserr, outcome.abserr);
  EXPECT_EQ(d.subintervals, 1);
  const LibraryMessage m = library_message(d);
  EXPECT_TRUE(m.raised);
  EXPECT_EQ(m.routine, "DQAGI");
  EXPECT_EQ(m.level, numlib::Level::kWarning);
}

}  // namespace
}  // namespace tarven::model
