#include "model/prescreened.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "io/format.h"
#include "io/formats.h"
#include "model/normal.h"
#include "model_test_support.h"

namespace tarven::model {
namespace {

using testing::normal_density;
using testing::normal_upper_tail;
using testing::RecordingDiagnostics;
using testing::set_problem;

// The state of the worked example: es 1, rho 0.5, zcut 0 (retention one half).
void worked_example(ModelState& s) {
  set_problem(s, 1.0, 0.5, 0.5);
  ASSERT_EQ(s.zcut, 0.0);
}

TEST(Phide, WorkedExampleValues) {
  ModelState s;
  worked_example(s);
  struct Case {
    int imaj;
    double x, density;
  };
  for (const Case c : {Case{0, 0.0, 0.398942}, Case{0, 1.0, 0.347542}, Case{1, 0.0, 0.174970},
                       Case{1, 1.0, 0.414339}}) {
    s.imaj = c.imaj;
    s.imom = 0;
    const double plain = phide(c.x, s);
    EXPECT_NEAR(plain, c.density, 5e-7) << "imaj " << c.imaj << " x " << c.x;
    // First-moment mode multiplies by the abscissa: unchanged at 1, exactly 0 at 0.
    s.imom = 1;
    EXPECT_EQ(phide(c.x, s), c.x == 1.0 ? plain : 0.0) << "imaj " << c.imaj << " x " << c.x;
  }
}

TEST(Phide, OnlyAMomentSwitchOfExactlyOneMultiplies) {
  ModelState s;
  worked_example(s);
  for (const int imaj : {0, 1}) {
    s.imaj = imaj;
    for (const double x : {-2.0, 0.5, 3.0}) {
      s.imom = 0;
      const double plain = phide(x, s);
      for (const int imom : {2, -1, 100}) {
        s.imom = imom;
        EXPECT_EQ(phide(x, s), plain) << "imom " << imom;
      }
      s.imom = 1;
      EXPECT_DOUBLE_EQ(phide(x, s), x * plain);
    }
  }
}

TEST(Phide, AnyNonZeroGroupSwitchSelectsTheMajority) {
  ModelState s;
  worked_example(s);
  for (const double x : {-1.5, 0.0, 2.0}) {
    s.imaj = 1;
    const double majority = phide(x, s);
    s.imaj = 0;
    EXPECT_NE(phide(x, s), majority);
    for (const int imaj : {2, -1, 12345}) {
      s.imaj = imaj;
      EXPECT_EQ(phide(x, s), majority) << "imaj " << imaj;
    }
  }
}

TEST(Phide, WithoutCorrelationThePreScreeningDropsOut) {
  ModelState s;
  for (const double retention : {0.05, 0.5, 0.9}) {
    set_problem(s, 0.8, 0.0, retention);
    for (const int imaj : {0, 1}) {
      s.imaj = imaj;
      const double mu = imaj != 0 ? s.es : 0.0;
      for (const double x : {-4.0, -0.3, 0.0, 1.1, 5.0})
        EXPECT_DOUBLE_EQ(phide(x, s), phib(x - mu, 0.0, 1.0, s))
            << "retention " << retention << " imaj " << imaj << " x " << x;
    }
  }
}

TEST(Phide, UpperTailOfTheConditionalSelectionIsExactlyZero) {
  // Far below the cut with a strong positive correlation nobody is retained.
  ModelState s;
  set_problem(s, 1.0, 0.99, 0.01);
  s.imaj = 0;
  EXPECT_EQ(phide(-3.0, s), 0.0);
  // With the correlation reversed the same happens far above.
  set_problem(s, 1.0, -0.99, 0.01);
  EXPECT_EQ(phide(3.0, s), 0.0);
}

std::uint64_t bits(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

TEST(Phide, KeptConstantsChangeNoBits) {
  // phide keeps sqrt(1 - rho^2) and each group's retention in the state; every value must equal,
  // bit for bit, the density with everything formed afresh. The problems change in between on
  // one state, so constants kept from an earlier problem would show.
  ModelState s;
  int compared = 0;
  for (const double rho : {0.5, -0.3, 0.0, 0.99, -0.99, 0.7})
    for (const double es : {0.0, 1.0, -0.4, 2.5})
      for (const double retention : {0.01, 0.3, 0.5, 0.9}) {
        set_problem(s, es, rho, retention);
        for (const int imaj : {0, 1, 3})
          for (const int imom : {0, 1}) {
            s.imaj = imaj;
            s.imom = imom;
            for (double x = -8.0; x <= 8.0; x += 0.37) {
              ASSERT_EQ(bits(phide(x, s)), bits(phide_unhoisted(x, s)))
                  << "rho " << rho << " es " << es << " retention " << retention << " imaj " << imaj
                  << " imom " << imom << " x " << x;
              ++compared;
            }
          }
      }
  // Changing one field alone, back and forth, between calls.
  set_problem(s, 1.0, 0.5, 0.5);
  s.imaj = 1;
  for (const double zcut : {0.0, 1.0, -0.5, 0.0}) {
    s.zcut = zcut;
    EXPECT_EQ(bits(phide(0.7, s)), bits(phide_unhoisted(0.7, s))) << "zcut " << zcut;
  }
  for (const double es : {1.0, 2.0, 1.0}) {
    s.es = es;
    EXPECT_EQ(bits(phide(0.7, s)), bits(phide_unhoisted(0.7, s))) << "es " << es;
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

TEST(Dist, AgreesWithAnIndependentIntegration) {
  ModelState s;
  set_problem(s, 1.2, 0.6, 0.3);
  for (const int imaj : {0, 1}) {
    s.imaj = imaj;
    const double mu = imaj != 0 ? s.es : 0.0;
    for (const double x : {-3.0, -0.5, 0.4, 1.5, 3.5}) {
      const double ref = reference_cdf(x, mu, s.rho, s.zcut);
      EXPECT_NEAR(dist(x, s), ref, 1e-10 * ref + 1e-13) << "imaj " << imaj << " x " << x;
    }
  }
  // Without correlation it is the shifted normal distribution function.
  set_problem(s, 0.7, 0.0, 0.4);
  for (const int imaj : {0, 1}) {
    s.imaj = imaj;
    const double mu = imaj != 0 ? s.es : 0.0;
    for (const double x : {-2.0, 0.0, 2.5})
      EXPECT_NEAR(dist(x, s), testing::normal_cdf(x - mu), 1e-12) << "imaj " << imaj;
  }
}

TEST(Dist, TendsToZeroAndOne) {
  ModelState s;
  for (const double rho : {0.5, -0.5}) {
    set_problem(s, 1.0, rho, 0.2);
    for (const int imaj : {0, 1}) {
      s.imaj = imaj;
      double previous = 0.0;
      for (const double x : {-12.0, -8.0, -4.0, 0.0, 4.0, 8.0, 12.0}) {
        const double F = dist(x, s);
        EXPECT_GE(F, previous - 1e-14) << "rho " << rho << " imaj " << imaj << " x " << x;
        previous = F;
      }
      EXPECT_LT(dist(-12.0, s), 1e-20);
      EXPECT_NEAR(dist(12.0, s), 1.0, 1e-12);
    }
  }
}

TEST(Dist, IntegratedMeansMatchTheClosedForms) {
  // Up to 7 the first moment is the group mean less the tiny mass above 7.
  ModelState s;
  worked_example(s);
  s.imom = 1;
  s.imaj = 0;
  const double minority = dist(7.0, s);
  s.imaj = 1;
  const double majority = dist(7.0, s);
  const double c = s.zcut - s.rho * s.es;
  EXPECT_NEAR(minority, s.rho * normal_density(s.zcut) / normal_upper_tail(s.zcut), 1e-9);
  EXPECT_NEAR(majority, s.es + s.rho * normal_density(c) / normal_upper_tail(c), 1e-7);
  EXPECT_NEAR(minority, 0.398942, 5e-7);
  EXPECT_NEAR(majority, 1.254580, 5e-7);
}

TEST(Dist, QuietWhenTheIntegrationSucceeds) {
  ModelState s;
  RecordingDiagnostics diagnostics;
  s.diagnostics = &diagnostics;
  set_problem(s, 1.0, 0.9, 0.05);
  for (const int imaj : {0, 1}) {
    s.imaj = imaj;
    for (double x = -6.5; x <= 6.5; x += 0.5) dist(x, s);
  }
  EXPECT_TRUE(diagnostics.events.empty());
}

TEST(Dist, AbnormalReturnReportsLibraryMessageThenConsoleLineAndKeepsTheEstimate) {
  // One subinterval is not enough for 1e-12: the integrator gives up with error code 1.
  ModelState s;
  RecordingDiagnostics diagnostics;
  s.diagnostics = &diagnostics;
  set_problem(s, 1.0, 0.5, 0.5);
  s.dist_work = numlib::QuadWorkspace(1);
  s.imaj = 1;
  const double x = 0.75;
  const DistOutcome outcome = integrate_dist(x, s);
  ASSERT_EQ(outcome.ier, 1);
  EXPECT_TRUE(diagnostics.events.empty());  // the integration alone reports nothing

  const double F = dist(x, s);
  EXPECT_EQ(F, outcome.value);
  ASSERT_EQ(diagnostics.events.size(), 2u);
  EXPECT_EQ(diagnostics.events[0], "lib DQAGI 1");
  EXPECT_EQ(diagnostics.events[1],
            "line " + io::render(io::kFormat200Dist, {x, outcome.ier, outcome.abserr}));
  EXPECT_EQ(diagnostics.events[1].rfind("line Bound ier in dist ", 0), 0u);
}

TEST(Diagnostics, StateReportsDirectlyUnlessTold) {
  ModelState s;
  EXPECT_EQ(s.diagnostics, &direct_diagnostics());
  ::testing::internal::CaptureStdout();
  direct_diagnostics().console_line(" a diagnostic line\n");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), " a diagnostic line\n");
}

}  // namespace
}  // namespace tarven::model
