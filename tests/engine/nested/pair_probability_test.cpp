#include "engine/nested/pair_probability.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "engine/single/single_engine.h"
#include "model/pair_plan.h"
#include "model/window.h"
#include "numlib/lbeta.h"
#include "tests/model/model_test_support.h"

namespace tarven::engine::nested {
namespace {

using model::kWindowHigh;
using model::kWindowLow;
using model::testing::normal_cdf;
using model::testing::problem;
using model::testing::RecordingSink;

double ln_beta(double a, double b) {
  return std::lgamma(a) + std::lgamma(b) - std::lgamma(a + b);
}

double binomial(int n, int k) {
  return std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0));
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
  RecordingSink sink;
  numlib::QuadWorkspace outer(kOuterLimit);
  const model::Population even_groups = problem(0.0, 0.0, 0.5, 1, 1);
  model::PairState s(even_groups, sink);
  s.iorder = 1;
  s.jorder = 1;
  s.lbeta1 = 99.0;
  const PairAttempt even = attempt_pair(s, outer, kWindowLow, kWindowHigh);
  EXPECT_EQ(even.lbeta1, 0.0);
  EXPECT_EQ(s.lbeta1, 0.0);
  EXPECT_NEAR(even.r, 0.5, 1e-5);

  const model::Population apart = problem(0.5, 0.0, 0.5, 1, 1);
  model::PairState t(apart, sink);
  t.iorder = 1;
  t.jorder = 1;
  const PairAttempt shifted = attempt_pair(t, outer, kWindowLow, kWindowHigh);
  EXPECT_NEAR(shifted.r, normal_cdf(0.5 / std::sqrt(2.0)), 1e-5);
  EXPECT_NEAR(shifted.r, 0.638163, 1e-5);
}

TEST(AttemptPair, OrderStatisticsOfIdenticalGroups) {
  RecordingSink sink;
  numlib::QuadWorkspace outer(kOuterLimit);
  const model::Population p = problem(0.0, 0.4, 0.3, 3, 2);
  model::PairState s(p, sink);
  struct Case {
    int i, j;
  };
  for (const Case c : {Case{2, 2}, Case{3, 1}, Case{1, 2}}) {
    s.iorder = c.i;
    s.jorder = c.j;
    const PairAttempt attempt = attempt_pair(s, outer, kWindowLow, kWindowHigh);
    EXPECT_NEAR(attempt.lbeta1, ln_beta(p.nmaj - c.i + 1.0, c.i), 1e-14);
    EXPECT_NEAR(attempt.r, identical_groups_probability(3, 2, c.i, c.j), 2e-5)
        << "i " << c.i << " j " << c.j;
  }
  // Narrowing the outer interval only loses probability.
  s.iorder = 2;
  s.jorder = 2;
  EXPECT_LT(attempt_pair(s, outer, -1.0, 1.0).r,
            attempt_pair(s, outer, kWindowLow, kWindowHigh).r - 0.1);
  EXPECT_TRUE(sink.events.empty());
}

TEST(AttemptPair, AbnormalOuterIntegrationIsReportedAsDqag) {
  RecordingSink sink;
  const model::Population p = problem(0.5, 0.3, 0.05, 3, 3);
  model::PairState s(p, sink);
  s.iorder = 2;
  s.jorder = 2;
  numlib::QuadWorkspace one(1);
  const PairAttempt attempt = attempt_pair(s, one, kWindowLow, kWindowHigh);
  ASSERT_EQ(sink.events.size(), 1u);
  EXPECT_EQ(sink.events[0].source, model::DiagnosticSource::kOuter);
  EXPECT_EQ(sink.events[0].ier, 1);
  EXPECT_EQ(model::library_message(sink.events[0]).routine, "DQAG");
  EXPECT_TRUE(std::isfinite(attempt.r));
  EXPECT_EQ(attempt.abserr, sink.events[0].abserr);
}

}  // namespace
}  // namespace tarven::engine::nested

namespace tarven::engine::nested {
namespace {

// Groups of thousands: the majority order statistic of a pair is narrower than the gaps between
// the outer rule's nodes. Without break points around it this pair came out 2e-4 too small.
TEST(AttemptPair, ANarrowMajorityPeakIsIntegratedWhereTheRuleSeesIt) {
  RecordingSink sink;
  const model::Population p = problem(0.3, 0.9, 0.05, 4000, 1000);
  const int k = 51;  // w = 50 minority hires of 500
  const int i = 4000 - 500 + (k - 1) + 1;
  const int j = 1000 - (k - 1);
  ASSERT_TRUE(narrow_peak(p, i, kWindowLow, kWindowHigh).has_value());
  model::PairState s(p, sink);
  s.iorder = i;
  s.jorder = j;
  numlib::QuadWorkspace outer(kOuterLimit);
  const PairAttempt attempt = attempt_pair(s, outer, kWindowLow, kWindowHigh);
  const single::SingleEngine exact(single::SingleProblem{4000, 1000, p.es, p.rho, p.zcut});
  EXPECT_NEAR(attempt.r, exact.cumulative(i, j).value, 1e-8);
}

TEST(AttemptPair, SmallGroupsNeverMeetTheNarrowPeakCriterion) {
  for (const auto& [nmaj, nmin, nsel] : {std::tuple{7, 3, 4}, {240, 60, 60}, {800, 200, 100}}) {
    const model::Population p = problem(0.8, 0.4, 0.5, nmaj, nmin);
    const model::PairPlan plan = model::make_pair_plan(nmaj, nmin, nsel);
    for (int k = 1; k <= plan.npair; ++k)
      EXPECT_FALSE(narrow_peak(p, plan.i(k), kWindowLow, kWindowHigh).has_value())
          << nmaj << " " << k;
  }
}

}  // namespace
}  // namespace tarven::engine::nested
