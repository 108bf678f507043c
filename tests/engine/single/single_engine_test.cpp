#include "engine/single/single_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/distributions/hypergeometric.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <cmath>
#include <thread>
#include <vector>

#include "tests/model/reference.h"

namespace tarven::engine::single {
namespace reference = model::reference;
namespace {

// A problem as the user states it, with the hires and the retention rate.
struct Stated {
  int nmaj, nmin, nsel;
  double es, rho, retention;
};

SingleProblem problem_of(const Stated& s) {
  const double zcut = std::sqrt(2.0) * boost::math::erfc_inv(2.0 * s.retention);
  return SingleProblem{s.nmaj, s.nmin, s.es, s.rho, zcut};
}

int first_w(const Stated& s) {
  return std::max(s.nsel - s.nmaj, 0);
}
int last_w(const Stated& s) {
  return std::min(s.nsel, s.nmin) - 1;
}
int rank_min(const Stated& s, int w) {
  return s.nmin - w;
}
int rank_maj(const Stated& s, int w) {
  return s.nmaj - s.nsel + w + 1;
}

// At es = 0 both groups share one distribution, whatever the screening, so the order of the
// applicants is a random permutation and M is hypergeometric.
TEST(SingleEngine, EqualMeansGiveTheHypergeometricDistribution) {
  for (const Stated s :
       {Stated{7, 3, 4, 0.0, 0.3, 0.6}, Stated{240, 60, 60, 0.0, 0.5, 0.3},
        Stated{50, 50, 30, 0.0, -0.999, 1e-6}, Stated{1000, 10, 500, 0.0, 0.7, 0.01},
        Stated{24000, 6000, 3000, 0.0, 0.4, 0.5}}) {
    const SingleEngine engine(problem_of(s));
    const boost::math::hypergeometric_distribution<double> hires(s.nmin, s.nsel, s.nmaj + s.nmin);
    for (int w = first_w(s); w <= last_w(s); ++w) {
      const PairValue p = engine.cumulative(rank_maj(s, w), rank_min(s, w));
      ASSERT_NEAR(p.value, boost::math::cdf(hires, w), 1e-13)
          << s.nmaj << " " << s.nmin << " w " << w;
      ASSERT_TRUE(p.converged);
    }
  }
}

// P(minority j-th < majority i-th) by the definition: the majority order statistic's density
// against the minority one's distribution function, over a window found by bisection on the
// reference distribution itself, all in 50 digits.
double reference_cumulative(const Stated& s, int w) {
  using reference::Real;
  const SingleProblem p = problem_of(s);
  const reference::Group maj(p.es, p.rho, p.zcut), min(0.0, p.rho, p.zcut);
  const Real a = rank_maj(s, w), b = s.nmaj - a + 1;
  const Real c = rank_min(s, w), d = s.nmin - c + 1;
  const auto integrand = [&](const Real& x) {
    return boost::math::ibeta_derivative(a, b, maj.cdf(x)) * maj.pdf(x) *
           boost::math::ibeta(c, d, min.cdf(x));
  };
  const auto bisect = [&](bool upper) {
    double lo = p.es - 20.0, hi = p.es + 20.0;
    for (int step = 0; step < 40; ++step) {
      const double mid = 0.5 * (lo + hi);
      const Real u = maj.cdf(mid);
      const bool inside =
          upper ? boost::math::ibetac(a, b, u) > 1e-22 : boost::math::ibeta(a, b, u) >= 1e-22;
      (inside == upper ? lo : hi) = mid;
    }
    return upper ? hi : lo;
  };
  return static_cast<double>(boost::math::quadrature::gauss_kronrod<Real, 31>::integrate(
      integrand, Real(bisect(false)), Real(bisect(true)), 12, Real(1e-16)));
}

void expect_reference(const Stated& s, int w) {
  const PairValue p = SingleEngine(problem_of(s)).cumulative(rank_maj(s, w), rank_min(s, w));
  EXPECT_NEAR(p.value, reference_cumulative(s, w), 1e-12);
  EXPECT_TRUE(p.converged);
}

TEST(SingleEngine, ExtendedPrecisionTypicalPair) {
  expect_reference({240, 60, 60, 1, 0.5, 0.3}, 10);
}
// The majority order statistic has a standard deviation of about 0.01 here.
TEST(SingleEngine, ExtendedPrecisionNarrowPeak) {
  expect_reference({24000, 6000, 3000, 0.8, 0.4, 0.5}, 150);
}
TEST(SingleEngine, ExtendedPrecisionLargeEffect) {
  expect_reference({160, 40, 20, 3, 0.5, 0.2}, 1);
}
TEST(SingleEngine, ExtendedPrecisionOneHire) {
  expect_reference({160, 40, 1, 2, 0.5, 0.2}, 0);
}
TEST(SingleEngine, ExtendedPrecisionNegativeScreening) {
  expect_reference({50, 30, 20, 1.5, -0.95, 0.01}, 6);
}

TEST(SingleEngine, CumulativeProbabilitiesRiseWithTheMinorityHires) {
  const Stated s{800, 200, 100, 0.8, 0.4, 0.5};
  const SingleEngine engine(problem_of(s));
  double previous = 0.0;
  for (int w = first_w(s); w <= last_w(s); ++w) {
    const PairValue p = engine.cumulative(rank_maj(s, w), rank_min(s, w));
    EXPECT_GE(p.value, previous - 1e-15) << w;
    EXPECT_LE(p.value, 1.0);
    EXPECT_TRUE(p.converged) << w;
    previous = p.value;
  }
}

// With one hire, M <= 0 means the best minority applicant is below the best majority one. Without
// correlated screening the groups are plain normals and that probability is one integral of
// normal distribution functions.
TEST(SingleEngine, OneHireIsTheBestMinorityBelowTheBestMajority) {
  using Kronrod = boost::math::quadrature::gauss_kronrod<double, 61>;
  const auto phi = [](double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); };
  for (const double es : {2.0, 5.0, 10.0}) {
    const Stated s{160, 40, 1, es, 0.0, 0.2};
    const auto integrand = [&](double x) {
      // d/dx Phi(x - es)^nmaj times Phi(x)^nmin
      return s.nmaj * std::exp(-0.5 * (x - es) * (x - es)) / std::sqrt(2.0 * M_PI) *
             std::pow(phi(x - es), s.nmaj - 1) * std::pow(phi(x), s.nmin);
    };
    const double want = Kronrod::integrate(integrand, es - 6.0, es + 9.0, 30, 1e-15);
    EXPECT_NEAR(SingleEngine(problem_of(s)).cumulative(s.nmaj, s.nmin).value, want, 1e-13);
  }
}

TEST(SingleEngine, RanksOutsideTheGroupsAreRefused) {
  const SingleEngine engine(SingleProblem{10, 5, 0.5, 0.3, 0.0});
  for (const auto& [i, j] : {std::pair{0, 1}, std::pair{11, 1}, std::pair{1, 0}, std::pair{1, 6}}) {
    const PairValue p = engine.cumulative(i, j);
    EXPECT_TRUE(std::isnan(p.value));
    EXPECT_FALSE(p.converged);
  }
}

// cumulative() is const and keeps nothing between calls: two threads sharing one engine must see
// exactly what one thread sees.
TEST(SingleEngine, ConcurrentCallsGiveTheSerialBits) {
  const Stated s{240, 60, 60, 1.0, 0.5, 0.3};
  const SingleEngine engine(problem_of(s));
  const int count = last_w(s) - first_w(s) + 1;
  std::vector<double> serial(count), shared(count);
  for (int n = 0; n < count; ++n) {
    const int w = first_w(s) + n;
    serial[n] = engine.cumulative(rank_maj(s, w), rank_min(s, w)).value;
  }
  const auto work = [&](int parity) {
    for (int n = parity; n < count; n += 2) {
      const int w = first_w(s) + n;
      shared[n] = engine.cumulative(rank_maj(s, w), rank_min(s, w)).value;
    }
  };
  std::thread other(work, 1);
  work(0);
  other.join();
  EXPECT_EQ(serial, shared);
}

}  // namespace
}  // namespace tarven::engine::single
