#include "model/integrands.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "io/format.h"
#include "io/formats.h"
#include "model/pair_probability.h"
#include "model/prescreened.h"
#include "model_test_support.h"
#include "numlib/lbeta.h"
#include "numlib/quadpack.h"

namespace tarven::model {
namespace {

using testing::normal_cdf;
using testing::normal_density;
using testing::RecordingDiagnostics;
using testing::set_problem;

double ln_beta(double a, double b) {
  return std::lgamma(a) + std::lgamma(b) - std::lgamma(a + b);
}

double binomial(int n, int k) {
  return std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0));
}

// P(k-th lowest of n independent draws with distribution value p at t is <= t).
double order_statistic_cdf(int k, int n, double p) {
  double sum = 0.0;
  for (int r = k; r <= n; ++r) sum += binomial(n, r) * std::pow(p, r) * std::pow(1.0 - p, n - r);
  return sum;
}

// A pair set up as the enumeration sets it before integrating.
void set_pair(ModelState& s, int iorder, int jorder) {
  s.iorder = iorder;
  s.jorder = jorder;
  s.lbeta1 = numlib::DLBETA(s.nmaj - iorder + 1.0, static_cast<double>(iorder));
}

TEST(Fun, AtOrBelowTheWindowItIsZeroAndTouchesNothing) {
  ModelState s;
  set_problem(s, 0.5, 0.3, 0.6, 7, 3);
  set_pair(s, 4, 3);
  s.imaj = 5;
  s.lbeta2 = 123.0;
  for (const double x : {-6.5, -7.0, -1e300}) {
    EXPECT_EQ(fun(x, s), 0.0);
    EXPECT_EQ(s.imaj, 5);
    EXPECT_EQ(s.lbeta2, 123.0);
  }
}

TEST(Fun, LeavesTheMinorityGroupAndTheMinorityNormaliserSet) {
  ModelState s;
  set_problem(s, 0.5, 0.3, 0.6, 7, 4);
  set_pair(s, 4, 2);
  s.imaj = 1;
  EXPECT_GT(fun(0.3, s), 0.0);
  EXPECT_EQ(s.imaj, 0);
  EXPECT_NEAR(s.lbeta2, ln_beta(3.0, 2.0), 1e-14);  // ln B(nmin - jorder + 1, jorder) = ln(1/12)
}

TEST(Fun, JustInsideTheWindowItIsTinyAndNotNegative) {
  ModelState s;
  set_problem(s, 0.5, 0.3, 0.6, 2, 2);
  set_pair(s, 1, 1);
  const double x = std::nextafter(-6.5, 0.0);
  const double value = fun(x, s);
  EXPECT_GE(value, 0.0);
  EXPECT_LT(value, 1e-20);
  EXPECT_GT(fun(-6.4, s), value);
}

TEST(Fu1, SetsTheMinorityGroup) {
  ModelState s;
  set_problem(s, 1.0, 0.5, 0.5, 2, 2);
  s.jorder = 1;
  s.lbeta2 = numlib::DLBETA(2.0, 1.0);
  s.imaj = 1;
  const double value = fu1(0.2, s);
  EXPECT_EQ(s.imaj, 0);
  // h_1 for two draws: 2 f (1 - F), the minority's own density and distribution value.
  EXPECT_NEAR(value, 2.0 * phide(0.2, s) * (1.0 - dist(0.2, s)), 1e-15);
}

TEST(Fun, MatchesOrderStatisticsOfUnscreenedNormals) {
  // Without correlation the groups are N(es, 1) and N(0, 1), so g_i and the inner integral have
  // closed forms. The majority's own terms must use the majority (binding order of imaj).
  ModelState s;
  set_problem(s, 0.6, 0.0, 0.5, 4, 3);
  for (const int i : {1, 2, 4})
    for (const int j : {1, 2, 3}) {
      set_pair(s, i, j);
      for (const double x : {-2.0, 0.1, 1.3, 3.0}) {
        const double F = normal_cdf(x - s.es);
        const double g = normal_density(x - s.es) * std::pow(F, i - 1) *
                         std::pow(1.0 - F, s.nmaj - i) / std::exp(ln_beta(s.nmaj - i + 1.0, i));
        const double inner = order_statistic_cdf(j, s.nmin, normal_cdf(x)) -
                             order_statistic_cdf(j, s.nmin, normal_cdf(-6.5));
        EXPECT_NEAR(fun(x, s), g * inner, 2e-5 * g * inner)
            << "i " << i << " j " << j << " x " << x;
      }
    }
}

std::uint64_t bits(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

TEST(Fun, OrdinaryAbscissaeKeepTheBitsOfTheLogFormula) {
  // Where every factor is positive, the guarded sums must be the formula's own operations, also
  // when a power is 0 (ln(...) * 0 is -0.0 in the formula, plain 0 here).
  ModelState s;
  set_problem(s, 0.5, 0.3, 0.6, 4, 3);
  numlib::QuadWorkspace work(kInnerLimit);
  for (const int i : {1, 2, 4})
    for (const int j : {1, 3}) {
      set_pair(s, i, j);
      for (const double x : {-1.7, 0.4, 2.2}) {
        const double value = fun(x, s);
        // fun has left lbeta2 and imaj set for the inner integrand; its inner integral again:
        const gsl_function inner_f{&fu1_callback, &s};
        const numlib::QuadResult inner = numlib::DQAGE(inner_f, -6.5, x, 5e-9, 5e-6, 6, work);
        s.imaj = 1;
        const double lf = std::log(phide(x, s));
        const double F = dist(x, s);
        const double thi = std::log(1.0 - F) * static_cast<double>(s.nmaj - i);
        const double tlo = std::log(F) * static_cast<double>(i - 1);
        double sum = std::log(inner.result) + lf;
        sum = sum + tlo;
        sum = sum + thi;
        sum = sum - s.lbeta1;
        EXPECT_EQ(bits(value), bits(std::exp(sum))) << "i " << i << " j " << j << " x " << x;

        s.imaj = 0;
        const double h = fu1(x, s);
        const double G = dist(x, s);
        double t = std::log(phide(x, s)) + std::log(G) * static_cast<double>(j - 1);
        t = t + std::log(1.0 - G) * static_cast<double>(s.nmin - j);
        t = t - s.lbeta2;
        EXPECT_EQ(bits(h), bits(std::exp(t))) << "i " << i << " j " << j << " x " << x;
      }
    }
}

TEST(Fun, KeptConstantsChangeNoBits) {
  // The same state recomputing every constant on every call (as the formulas are written) and
  // keeping them: fun and fu1 must agree to the last bit, pair after pair.
  ModelState plain;
  ModelState kept;
  set_problem(plain, 0.8, -0.4, 0.3, 5, 4);
  set_problem(kept, 0.8, -0.4, 0.3, 5, 4);
  plain.keep_constants = false;
  for (const int i : {1, 3, 5})
    for (const int j : {1, 2, 4}) {
      set_pair(plain, i, j);
      set_pair(kept, i, j);
      for (const double x : {-3.1, -0.2, 1.3, 4.6}) {
        EXPECT_EQ(bits(fun(x, plain)), bits(fun(x, kept))) << i << " " << j << " " << x;
        EXPECT_EQ(bits(plain.lbeta2), bits(kept.lbeta2));
        EXPECT_EQ(bits(fu1(x, plain)), bits(fu1(x, kept))) << i << " " << j << " " << x;
      }
    }
}

// A state with strong pre-screening: nearly everyone retained sits in a narrow band, so the
// densities vanish in double precision over much of the window and the distribution values reach
// 0 or 1 there.
void strong_screening(ModelState& s, double rho) {
  set_problem(s, 1.0, rho, 0.01, 3, 3);
}

// The first abscissa of a fine grid over the window (above its lower end) where `condition` holds
// for the group.
std::optional<double> find_abscissa(ModelState& s, int imaj, auto condition) {
  s.imaj = imaj;
  for (int k = 1; k <= 1300; ++k) {
    const double x = -6.5 + 0.01 * k;
    if (condition(phide(x, s), dist(x, s))) return x;
  }
  return std::nullopt;
}

TEST(Fun, ZeroDensityAndZeroDistributionGiveZeroNotNaN) {
  ModelState s;
  strong_screening(s, 0.99);
  // Below the band the majority density and distribution value are both exactly 0; with
  // iorder = 1 the formula would form ln(0) * 0.
  const auto x = find_abscissa(s, 1, [](double f, double F) { return f == 0.0 && F == 0.0; });
  ASSERT_TRUE(x.has_value());
  for (const int i : {1, 2, 3}) {
    set_pair(s, i, 2);
    EXPECT_EQ(fun(*x, s), 0.0) << "i " << i;
    EXPECT_EQ(s.imaj, 0);
  }
}

TEST(Fu1, DistributionValueOfZeroUnderAPositiveDensity) {
  // At the lower edge of the band the density is already positive but its integral is still 0.
  ModelState s;
  strong_screening(s, 0.99);
  const auto y = find_abscissa(s, 0, [](double f, double G) { return f > 0.0 && G <= 0.0; });
  ASSERT_TRUE(y.has_value());
  s.jorder = 1;  // G^0: nothing is lost, the lowest draw has a positive density here
  s.lbeta2 = numlib::DLBETA(static_cast<double>(s.nmin), 1.0);
  const double lowest = fu1(*y, s);
  EXPECT_TRUE(std::isfinite(lowest));
  EXPECT_GT(lowest, 0.0);
  s.jorder = 2;  // G^1 with G = 0: the second lowest cannot lie here
  s.lbeta2 = numlib::DLBETA(s.nmin - 1.0, 2.0);
  EXPECT_EQ(fu1(*y, s), 0.0);

  // The same abscissa in the outer integrand: finite whatever the powers.
  const auto x = find_abscissa(s, 1, [](double f, double F) { return f > 0.0 && F <= 0.0; });
  ASSERT_TRUE(x.has_value());
  for (const int i : {1, 2}) {
    set_pair(s, i, 1);
    const double value = fun(*x, s);
    EXPECT_TRUE(std::isfinite(value) && value >= 0.0) << "i " << i << ": " << value;
  }
}

TEST(Fu1, DistributionValueAtOrAboveOneUnderAPositivePower) {
  // With the correlation reversed the minority band lies low; above it the integral of the
  // density comes out as 1 or a hair above, where ln(1 - G) is -inf or NaN.
  ModelState s;
  strong_screening(s, -0.99);
  const auto x = find_abscissa(s, 0, [](double f, double G) { return f > 0.0 && G >= 1.0; });
  ASSERT_TRUE(x.has_value());
  s.jorder = s.nmin;  // (1 - G)^0: the value is the positive density times G^(n-1)
  s.lbeta2 = numlib::DLBETA(1.0, static_cast<double>(s.nmin));
  const double top = fu1(*x, s);
  EXPECT_TRUE(std::isfinite(top));
  EXPECT_GT(top, 0.0);
  s.jorder = 1;  // (1 - G)^2 with G >= 1
  s.lbeta2 = numlib::DLBETA(static_cast<double>(s.nmin), 1.0);
  EXPECT_EQ(fu1(*x, s), 0.0);

  const auto above = find_abscissa(s, 0, [](double f, double G) { return f == 0.0 && G > 1.0; });
  ASSERT_TRUE(above.has_value());
  for (const int j : {1, 2, 3}) {
    s.jorder = j;
    s.lbeta2 = numlib::DLBETA(s.nmin - j + 1.0, static_cast<double>(j));
    EXPECT_EQ(fu1(*above, s), 0.0) << "j " << j;
  }
}

TEST(Fun, FiniteAndNotNegativeAcrossTheWindowUnderStrongScreening) {
  ModelState s;
  for (const double rho : {0.99, -0.99}) {
    strong_screening(s, rho);
    for (const int i : {1, s.nmaj})
      for (const int j : {1, s.nmin}) {
        set_pair(s, i, j);
        for (int k = 0; k <= 13; ++k) {
          const double x = -6.5 + k;
          const double value = fun(x, s);
          EXPECT_TRUE(std::isfinite(value) && value >= 0.0)
              << "rho " << rho << " i " << i << " j " << j << " x " << x << ": " << value;
          const double h = fu1(x, s);
          EXPECT_TRUE(std::isfinite(h) && h >= 0.0)
              << "rho " << rho << " j " << j << " y " << x << ": " << h;
        }
      }
  }
}

TEST(Fun, AbnormalInnerIntegrationWritesOneLineWithTheErrorEstimate) {
  ModelState s;
  RecordingDiagnostics diagnostics;
  s.diagnostics = &diagnostics;
  // A peaked minority order statistic that one 61-point rule cannot resolve.
  set_problem(s, 0.5, 0.9, 0.05, 8, 8);
  set_pair(s, 4, 4);
  const double x = 4.0;
  const double accurate = fun(x, s);
  ASSERT_TRUE(diagnostics.events.empty());

  // One subinterval cannot reach the inner tolerance: error code 1 after the first rule.
  s.inner_work = numlib::QuadWorkspace(1);
  const double rough = fun(x, s);
  numlib::QuadWorkspace one(1);
  const gsl_function inner_f{&fu1_callback, &s};
  const numlib::QuadResult inner = numlib::DQAGE(inner_f, -6.5, x, 5e-9, 5e-6, 6, one);
  ASSERT_EQ(inner.ier, 1);
  ASSERT_EQ(diagnostics.events.size(), 1u);
  // Under "res" the error estimate, not the integral; the library itself says nothing.
  EXPECT_EQ(diagnostics.events[0],
            "line " + io::render(io::kFormat100Fun, {inner.ier, x, inner.abserr, inner.last}));
  EXPECT_NE(inner.abserr, inner.result);
  // The rough estimate is still used.
  EXPECT_GT(rough, 0.0);
  EXPECT_NE(rough, accurate);
  EXPECT_NEAR(rough, accurate, 1e-2 * accurate);
}

// Probability that the j-th lowest of nmin draws lies below the i-th lowest of nmaj draws when all
// draws come from one distribution: at least j minority draws among the lowest i + j - 1.
double identical_groups_probability(int nmaj, int nmin, int i, int j) {
  const int lowest = i + j - 1;
  double p = 0.0;
  for (int k = j; k <= std::min(nmin, lowest); ++k)
    if (lowest - k <= nmaj) p += binomial(nmin, k) * binomial(nmaj, lowest - k);
  return p / binomial(nmaj + nmin, lowest);
}

TEST(AttemptPair, SingleApplicantPerGroup) {
  ModelState s;
  numlib::QuadWorkspace outer(kOuterLimit);
  set_problem(s, 0.0, 0.0, 0.5, 1, 1);
  s.iorder = 1;
  s.jorder = 1;
  s.lbeta1 = 99.0;
  const PairAttempt even = attempt_pair(s, outer, -6.5, 6.5);
  EXPECT_EQ(even.lbeta1, 0.0);
  EXPECT_EQ(s.lbeta1, 0.0);
  EXPECT_NEAR(even.r, 0.5, 1e-5);

  set_problem(s, 0.5, 0.0, 0.5, 1, 1);
  const PairAttempt shifted = attempt_pair(s, outer, -6.5, 6.5);
  EXPECT_NEAR(shifted.r, normal_cdf(0.5 / std::sqrt(2.0)), 1e-5);
  EXPECT_NEAR(shifted.r, 0.638163, 1e-5);
}

TEST(AttemptPair, OrderStatisticsOfIdenticalGroups) {
  ModelState s;
  numlib::QuadWorkspace outer(kOuterLimit);
  set_problem(s, 0.0, 0.4, 0.3, 3, 2);
  struct Case {
    int i, j;
  };
  for (const Case c : {Case{2, 2}, Case{3, 1}, Case{1, 2}}) {
    s.iorder = c.i;
    s.jorder = c.j;
    const PairAttempt attempt = attempt_pair(s, outer, -6.5, 6.5);
    EXPECT_NEAR(attempt.lbeta1, ln_beta(s.nmaj - c.i + 1.0, c.i), 1e-14);
    EXPECT_NEAR(attempt.r, identical_groups_probability(3, 2, c.i, c.j), 2e-5)
        << "i " << c.i << " j " << c.j;
  }
  // Narrowing the outer interval only loses probability.
  s.iorder = 2;
  s.jorder = 2;
  EXPECT_LT(attempt_pair(s, outer, -1.0, 1.0).r, attempt_pair(s, outer, -6.5, 6.5).r - 0.1);
}

TEST(AttemptPair, AbnormalOuterIntegrationIsReportedAsDqag) {
  ModelState s;
  RecordingDiagnostics diagnostics;
  s.diagnostics = &diagnostics;
  set_problem(s, 0.5, 0.3, 0.05, 3, 3);
  s.iorder = 2;
  s.jorder = 2;
  numlib::QuadWorkspace one(1);
  const PairAttempt attempt = attempt_pair(s, one, -6.5, 6.5);
  ASSERT_EQ(diagnostics.events.size(), 1u);
  EXPECT_EQ(diagnostics.events[0], "lib DQAG 1");
  EXPECT_TRUE(std::isfinite(attempt.r));
}

}  // namespace
}  // namespace tarven::model
