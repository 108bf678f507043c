#include "model/integrands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/prescreened.h"
#include "model/window.h"
#include "model_test_support.h"
#include "numlib/lbeta.h"
#include "numlib/quadpack.h"

namespace tarven::model {
namespace {

using testing::normal_cdf;
using testing::normal_density;
using testing::problem;
using testing::RecordingSink;

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

// A problem with one thread's pair state over it, its reports recorded.
struct Bench {
  explicit Bench(const Population& population) : p(population), s(p, sink) {}
  // A pair set up as the enumeration sets it before integrating.
  void set_pair(int iorder, int jorder) {
    s.iorder = iorder;
    s.jorder = jorder;
    s.lbeta1 = numlib::DLBETA(p.nmaj - iorder + 1.0, static_cast<double>(iorder)).value;
  }
  // The minority normaliser fu1 expects, as fun would have set it.
  void set_minority_rank(int jorder) {
    s.jorder = jorder;
    s.lbeta2 = numlib::DLBETA(p.nmin - jorder + 1.0, static_cast<double>(jorder)).value;
  }
  double f(Group g, double x) const { return phide(x, g, Moment::kDensity, p); }
  double F(Group g, double x) {
    numlib::QuadWorkspace work(kDistLimit);
    return dist(x, g, Moment::kDensity, p, work, sink);
  }
  Population p;
  RecordingSink sink;
  PairState s;
};

TEST(Fun, AtOrBelowTheWindowItIsZeroAndTouchesNothing) {
  Bench b(problem(0.5, 0.3, 0.6, 7, 3));
  b.set_pair(4, 3);
  b.s.lbeta2 = 123.0;
  for (const double x : {kWindowLow, -7.0, -1e300}) {
    EXPECT_EQ(fun(x, b.s), 0.0);
    EXPECT_EQ(b.s.lbeta2, 123.0);
  }
}

TEST(Fun, SetsTheMinorityNormaliser) {
  Bench b(problem(0.5, 0.3, 0.6, 7, 4));
  b.set_pair(4, 2);
  EXPECT_GT(fun(0.3, b.s), 0.0);
  EXPECT_NEAR(b.s.lbeta2, ln_beta(3.0, 2.0), 1e-14);  // ln B(nmin - jorder + 1, jorder) = ln(1/12)
}

TEST(Fun, JustInsideTheWindowItIsTinyAndNotNegative) {
  Bench b(problem(0.5, 0.3, 0.6, 2, 2));
  b.set_pair(1, 1);
  const double x = std::nextafter(kWindowLow, 0.0);
  const double value = fun(x, b.s);
  EXPECT_GE(value, 0.0);
  EXPECT_LT(value, 1e-20);
  EXPECT_GT(fun(-6.4, b.s), value);
}

TEST(Fun, CancelledOuterIntegrandReturnsZeroAtOnce) {
  Bench b(problem(0.5, 0.3, 0.6, 7, 4));
  b.set_pair(4, 2);
  std::atomic<bool> cancel{true};
  b.s.cancel = &cancel;
  EXPECT_EQ(fun(0.3, b.s), 0.0);
  cancel = false;
  EXPECT_GT(fun(0.3, b.s), 0.0);
}

TEST(Fu1, IsTheMinorityOrderStatisticDensity) {
  Bench b(problem(1.0, 0.5, 0.5, 2, 2));
  b.set_minority_rank(1);
  const double value = fu1(0.2, b.s);
  // h_1 for two draws: 2 f (1 - F), the minority's own density and distribution value.
  EXPECT_NEAR(value, 2.0 * b.f(Group::kMinority, 0.2) * (1.0 - b.F(Group::kMinority, 0.2)), 1e-15);
}

TEST(Fun, MatchesOrderStatisticsOfUnscreenedNormals) {
  // Without correlation the groups are N(es, 1) and N(0, 1), so g_i and the inner integral have
  // closed forms. The majority's own terms must use the majority.
  Bench b(problem(0.6, 0.0, 0.5, 4, 3));
  const Population& s = b.p;
  for (const int i : {1, 2, 4})
    for (const int j : {1, 2, 3}) {
      b.set_pair(i, j);
      for (const double x : {-2.0, 0.1, 1.3, 3.0}) {
        const double F = normal_cdf(x - s.es);
        const double g = normal_density(x - s.es) * std::pow(F, i - 1) *
                         std::pow(1.0 - F, s.nmaj - i) / std::exp(ln_beta(s.nmaj - i + 1.0, i));
        const double inner = order_statistic_cdf(j, s.nmin, normal_cdf(x)) -
                             order_statistic_cdf(j, s.nmin, normal_cdf(kWindowLow));
        EXPECT_NEAR(fun(x, b.s), g * inner, 2e-5 * g * inner)
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
  Bench b(problem(0.5, 0.3, 0.6, 4, 3));
  numlib::QuadWorkspace work(kInnerLimit);
  for (const int i : {1, 2, 4})
    for (const int j : {1, 3}) {
      b.set_pair(i, j);
      for (const double x : {-1.7, 0.4, 2.2}) {
        const double value = fun(x, b.s);
        // fun has left lbeta2 set for the inner integrand; its inner integral again:
        const gsl_function inner_f{&fu1_callback, &b.s};
        const numlib::QuadResult inner = numlib::DQAGE(inner_f, kWindowLow, x, 5e-9, 5e-6, 6, work);
        const double lf = std::log(b.f(Group::kMajority, x));
        const double F = b.F(Group::kMajority, x);
        const double thi = std::log(1.0 - F) * static_cast<double>(b.p.nmaj - i);
        const double tlo = std::log(F) * static_cast<double>(i - 1);
        double sum = std::log(inner.result) + lf;
        sum = sum + tlo;
        sum = sum + thi;
        sum = sum - b.s.lbeta1;
        EXPECT_EQ(bits(value), bits(std::exp(sum))) << "i " << i << " j " << j << " x " << x;

        const double h = fu1(x, b.s);
        const double G = b.F(Group::kMinority, x);
        double t = std::log(b.f(Group::kMinority, x)) + std::log(G) * static_cast<double>(j - 1);
        t = t + std::log(1.0 - G) * static_cast<double>(b.p.nmin - j);
        t = t - b.s.lbeta2;
        EXPECT_EQ(bits(h), bits(std::exp(t))) << "i " << i << " j " << j << " x " << x;
      }
    }
}

TEST(Fun, KeptConstantsChangeNoBits) {
  // The same problem recomputing every constant on every call (as the formulas are written) and
  // keeping them: fun and fu1 must agree to the last bit, pair after pair.
  Bench plain(problem(0.8, -0.4, 0.3, 5, 4, false));
  Bench kept(problem(0.8, -0.4, 0.3, 5, 4, true));
  for (const int i : {1, 3, 5})
    for (const int j : {1, 2, 4}) {
      plain.set_pair(i, j);
      kept.set_pair(i, j);
      for (const double x : {-3.1, -0.2, 1.3, 4.6}) {
        EXPECT_EQ(bits(fun(x, plain.s)), bits(fun(x, kept.s))) << i << " " << j << " " << x;
        EXPECT_EQ(bits(plain.s.lbeta2), bits(kept.s.lbeta2));
        EXPECT_EQ(bits(fu1(x, plain.s)), bits(fu1(x, kept.s))) << i << " " << j << " " << x;
      }
    }
}

// A problem with strong pre-screening: nearly everyone retained sits in a narrow band, so the
// densities vanish in double precision over much of the window and the distribution values reach
// 0 or 1 there.
Population strong_screening(double rho) {
  return problem(1.0, rho, 0.01, 3, 3);
}

// The first abscissa of a fine grid over the window (above its lower end) where `condition` holds
// for the group.
std::optional<double> find_abscissa(Bench& b, Group g, auto condition) {
  for (int k = 1; k <= 1300; ++k) {
    const double x = kWindowLow + 0.01 * k;
    if (condition(b.f(g, x), b.F(g, x))) return x;
  }
  return std::nullopt;
}

TEST(Fun, ZeroDensityAndZeroDistributionGiveZeroNotNaN) {
  Bench b(strong_screening(0.99));
  // Below the band the majority density and distribution value are both exactly 0; with
  // iorder = 1 the formula would form ln(0) * 0.
  const auto x =
      find_abscissa(b, Group::kMajority, [](double f, double F) { return f == 0.0 && F == 0.0; });
  ASSERT_TRUE(x.has_value());
  for (const int i : {1, 2, 3}) {
    b.set_pair(i, 2);
    EXPECT_EQ(fun(*x, b.s), 0.0) << "i " << i;
  }
}

TEST(Fu1, DistributionValueOfZeroUnderAPositiveDensity) {
  // At the lower edge of the band the density is already positive but its integral is still 0.
  Bench b(strong_screening(0.99));
  const auto y =
      find_abscissa(b, Group::kMinority, [](double f, double G) { return f > 0.0 && G <= 0.0; });
  ASSERT_TRUE(y.has_value());
  b.set_minority_rank(1);  // G^0: nothing is lost, the lowest draw has a positive density here
  const double lowest = fu1(*y, b.s);
  EXPECT_TRUE(std::isfinite(lowest));
  EXPECT_GT(lowest, 0.0);
  b.set_minority_rank(2);  // G^1 with G = 0: the second lowest cannot lie here
  EXPECT_EQ(fu1(*y, b.s), 0.0);

  // The same abscissa in the outer integrand: finite whatever the powers.
  const auto x =
      find_abscissa(b, Group::kMajority, [](double f, double F) { return f > 0.0 && F <= 0.0; });
  ASSERT_TRUE(x.has_value());
  for (const int i : {1, 2}) {
    b.set_pair(i, 1);
    const double value = fun(*x, b.s);
    EXPECT_TRUE(std::isfinite(value) && value >= 0.0) << "i " << i << ": " << value;
  }
}

TEST(Fu1, DistributionValueAtOrAboveOneUnderAPositivePower) {
  // With the correlation reversed the minority band lies low; above it the integral of the
  // density comes out as 1 or a hair above, where ln(1 - G) is -inf or NaN.
  Bench b(strong_screening(-0.99));
  const auto x =
      find_abscissa(b, Group::kMinority, [](double f, double G) { return f > 0.0 && G >= 1.0; });
  ASSERT_TRUE(x.has_value());
  b.set_minority_rank(b.p.nmin);  // (1 - G)^0: the value is the positive density times G^(n-1)
  const double top = fu1(*x, b.s);
  EXPECT_TRUE(std::isfinite(top));
  EXPECT_GT(top, 0.0);
  b.set_minority_rank(1);  // (1 - G)^2 with G >= 1
  EXPECT_EQ(fu1(*x, b.s), 0.0);

  const auto above =
      find_abscissa(b, Group::kMinority, [](double f, double G) { return f == 0.0 && G > 1.0; });
  ASSERT_TRUE(above.has_value());
  for (const int j : {1, 2, 3}) {
    b.set_minority_rank(j);
    EXPECT_EQ(fu1(*above, b.s), 0.0) << "j " << j;
  }
}

TEST(Fun, FiniteAndNotNegativeAcrossTheWindowUnderStrongScreening) {
  for (const double rho : {0.99, -0.99}) {
    Bench b(strong_screening(rho));
    for (const int i : {1, b.p.nmaj})
      for (const int j : {1, b.p.nmin}) {
        b.set_pair(i, j);
        for (int k = 0; k <= 13; ++k) {
          const double x = kWindowLow + k;
          const double value = fun(x, b.s);
          EXPECT_TRUE(std::isfinite(value) && value >= 0.0)
              << "rho " << rho << " i " << i << " j " << j << " x " << x << ": " << value;
          const double h = fu1(x, b.s);
          EXPECT_TRUE(std::isfinite(h) && h >= 0.0)
              << "rho " << rho << " j " << j << " y " << x << ": " << h;
        }
      }
  }
}

TEST(Fun, AbnormalInnerIntegrationIsReportedWithItsErrorEstimate) {
  // A peaked minority order statistic that one 61-point rule cannot resolve.
  Bench b(problem(0.5, 0.9, 0.05, 8, 8));
  b.set_pair(4, 4);
  const double x = 4.0;
  const double accurate = fun(x, b.s);
  ASSERT_TRUE(b.sink.events.empty());

  // One subinterval cannot reach the inner tolerance: error code 1 after the first rule.
  b.s.inner_work = numlib::QuadWorkspace(1);
  const double rough = fun(x, b.s);
  numlib::QuadWorkspace one(1);
  const gsl_function inner_f{&fu1_callback, &b.s};
  const numlib::QuadResult inner = numlib::DQAGE(inner_f, kWindowLow, x, 5e-9, 5e-6, 6, one);
  ASSERT_EQ(inner.ier, 1);
  ASSERT_EQ(b.sink.events.size(), 1u);
  const Diagnostic& d = b.sink.events[0];
  EXPECT_EQ(d.source, DiagnosticSource::kInner);
  EXPECT_EQ(d.ier, inner.ier);
  EXPECT_EQ(d.abscissa, x);
  EXPECT_EQ(d.abserr, inner.abserr);
  EXPECT_EQ(d.subintervals, inner.last);
  // The library itself says nothing about an inner integration.
  EXPECT_FALSE(library_message(d).raised);
  // The rough estimate is still used.
  EXPECT_GT(rough, 0.0);
  EXPECT_NE(rough, accurate);
  EXPECT_NEAR(rough, accurate, 1e-2 * accurate);
}

}  // namespace
}  // namespace tarven::model
