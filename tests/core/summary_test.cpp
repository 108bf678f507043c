#include "core/summary.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "core/distribution.h"

namespace tarven::core {
namespace {

// The distribution of the cumulative values (jlow as the problem has it) with its summary.
Result rows_of(int nmaj, int nmin, int nsel, int jlow, std::vector<double> cumulative) {
  const model::PairPlan plan = model::make_pair_plan(nmaj, nmin, nsel);
  EXPECT_EQ(plan.jlow, jlow);
  Result r;
  r.distribution = build_distribution(plan, cumulative);
  summarize(r);
  return r;
}

// The ratio of row r, -1 where it is not defined, as the report shows it.
double ai(const Result& d, std::size_t r) {
  return d.distribution[r].ai.value_or(-1.0);
}
double perc(const Result& s, int level) {
  return s.percentiles[static_cast<std::size_t>(level)].value_or(-1.0);
}

constexpr int P05 = 0, P10 = 1, P25 = 2, P50 = 3, P75 = 4, P90 = 5, P95 = 6;

// --- expected values ----------------------------------------------------------------------------

TEST(SummaryExpectedValues, OneRowDistributionIsCertain) {
  const Result s = rows_of(3, 2, 5, 2, {});
  EXPECT_EQ(s.expected_sr_majority, 1.0);
  EXPECT_EQ(s.expected_sr_minority, 1.0);
  EXPECT_EQ(s.expected_ai, 1.0);
  for (const auto& p : s.percentiles) EXPECT_EQ(p, 1.0);
}

TEST(SummaryExpectedValues, LastRowWithoutMajorityHireCountsOnlyForTheMinorityRate) {
  // 5 majority and 4 minority applicants, 3 hired; a quarter of the probability on each split
  const Result s = rows_of(5, 4, 3, 0, {0.25, 0.5, 0.75});
  EXPECT_DOUBLE_EQ(s.expected_sr_majority, 0.25 * (3 + 2 + 1) / 5.0);
  EXPECT_DOUBLE_EQ(s.expected_sr_minority, 0.25 * (0 + 1 + 2 + 3) / 4.0);
  // ratios 0, (1/4)/(2/5) and (2/4)/(1/5), weighted equally and normalised over 0.75
  EXPECT_DOUBLE_EQ(*s.expected_ai, 0.25 * (0.0 + 0.625 + 2.5) / 0.75);
}

TEST(SummaryExpectedValues, RowsLeftOutOfTheTableStillCount) {
  // the second split's probability (0.000005) is too small to be printed
  const Result s = rows_of(7, 3, 4, 0, {0.5, 0.500005, 0.9});
  const double ratios[] = {0.0, 7.0 / 9.0, 7.0 / 3.0, 7.0};
  const double probs[] = {0.5, 0.000005, 0.399995, 0.1};
  double expected = 0.0;
  for (int r = 0; r < 4; ++r) expected += probs[r] * ratios[r];
  EXPECT_NEAR(*s.expected_ai, expected, 1e-12);
}

TEST(SummaryExpectedValues, NoDefinedRatioLeavesTheExpectedRatioUndefined) {
  // every hire from the minority group for certain
  const Result s = rows_of(5, 4, 3, 0, {0.0, 0.0, 0.0});
  EXPECT_FALSE(s.expected_ai.has_value());
  EXPECT_EQ(s.expected_sr_majority, 0.0);
  EXPECT_EQ(s.expected_sr_minority, 0.75);
  for (const auto& p : s.percentiles) EXPECT_FALSE(p.has_value());
}

// --- percentiles --------------------------------------------------------------------------------

TEST(SummaryPercentiles, LevelReachedExactlyTakesThatRow) {
  // binary fractions keep the running sum exact: 0.125, 0.25, 0.5, 1
  const Result d = rows_of(7, 3, 4, 0, {0.125, 0.25, 0.5});
  ASSERT_EQ(d.distribution[1].cum_prob, 0.25);
  EXPECT_EQ(perc(d, P05), ai(d, 0));
  EXPECT_EQ(perc(d, P10), ai(d, 0));
  EXPECT_EQ(perc(d, P25), ai(d, 1));
  EXPECT_EQ(perc(d, P50), ai(d, 2));
  EXPECT_EQ(perc(d, P75), ai(d, 3));
  EXPECT_EQ(perc(d, P95), ai(d, 3));
}

TEST(SummaryPercentiles, LevelJustMissedMovesToALaterRow) {
  const Result d = rows_of(7, 3, 4, 0, {0.125, 0.2499999, 0.5});
  EXPECT_EQ(perc(d, P25), ai(d, 2));
}

TEST(SummaryPercentiles, FirstRowAtNinetyFivePercentHoldsEveryPercentile) {
  const Result d = rows_of(7, 3, 4, 0, {0.95, 0.97, 0.99});
  for (const auto& p : d.percentiles) EXPECT_EQ(p, d.distribution[0].ai);
}

TEST(SummaryPercentiles, LevelsReachedOnlyAtAnUndefinedLastRowAreUndefined) {
  const Result s = rows_of(5, 4, 3, 0, {0.25, 0.5, 0.75});
  EXPECT_DOUBLE_EQ(perc(s, P75), 2.5);
  EXPECT_FALSE(s.percentiles[P90].has_value());
  EXPECT_FALSE(s.percentiles[P95].has_value());
}

TEST(SummaryPercentiles, UnprintedRowCanBeWhereALevelIsReached) {
  // the second split carries 0.000005 and takes the running sum from 0.049999 to 0.050004
  const Result d = rows_of(7, 3, 4, 0, {0.049999, 0.050004, 0.9});
  EXPECT_EQ(perc(d, P05), ai(d, 1));
  EXPECT_EQ(perc(d, P10), ai(d, 2));
}

// --- against the hypergeometric distribution ----------------------------------------------------

double choose(int n, int k) {
  double c = 1.0;
  for (int t = 1; t <= k; ++t) c = c * (n - k + t) / t;
  return c;
}

// Without a group difference the number of minority hires M is hypergeometric; the expected
// selection rates are then both nsel / ntot, whatever the split of the applicants.
void check_against_hypergeometric(int nmaj, int nmin, int nsel) {
  SCOPED_TRACE(::testing::Message() << nmaj << " " << nmin << " " << nsel);
  const int ntot = nmaj + nmin;
  const int jlow = nsel > nmaj ? nsel - nmaj : 0;
  const int mhigh = nsel < nmin ? nsel : nmin;
  std::vector<double> pmf;
  for (int m = jlow; m <= mhigh; ++m) {
    pmf.push_back(choose(nmin, m) * choose(nmaj, nsel - m) / choose(ntot, nsel));
  }
  std::vector<double> cumulative;
  double running = 0.0;
  for (std::size_t r = 0; r + 1 < pmf.size(); ++r) cumulative.push_back(running += pmf[r]);

  const Result s = rows_of(nmaj, nmin, nsel, jlow, cumulative);
  EXPECT_NEAR(s.expected_sr_majority, static_cast<double>(nsel) / ntot, 1e-12);
  EXPECT_NEAR(s.expected_sr_minority, static_cast<double>(nsel) / ntot, 1e-12);

  double defined = 0.0;
  double weighted = 0.0;
  for (int m = jlow; m <= mhigh; ++m) {
    if (nsel - m == 0) continue;
    const double p = pmf[static_cast<std::size_t>(m - jlow)];
    defined += p;
    weighted += p * (static_cast<double>(m) / nmin) / (static_cast<double>(nsel - m) / nmaj);
  }
  EXPECT_NEAR(*s.expected_ai, weighted / defined, 1e-12);
}

TEST(SummaryHypergeometric, ExpectedValuesMatchWithoutGroupDifference) {
  check_against_hypergeometric(7, 3, 4);
  check_against_hypergeometric(12, 8, 10);
  check_against_hypergeometric(4, 9, 7);    // more hires than majority applicants
  check_against_hypergeometric(10, 6, 4);   // the last split has no majority hire
  check_against_hypergeometric(40, 40, 1);  // a single hire
}

}  // namespace
}  // namespace tarven::core
