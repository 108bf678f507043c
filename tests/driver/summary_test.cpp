#include "driver/summary.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tests/recording_unit.h"

namespace tarven::driver {
namespace {

using testing_support::RecordingUnit;

Distribution rows_of(int nmaj, int nmin, int nsel, int jlow, std::vector<double> cumulative) {
  Enumeration e;
  e.jlow = jlow;
  e.npair = static_cast<int>(cumulative.size());
  e.prob = std::move(cumulative);
  e.prob.push_back(0.0);
  return build_distribution(e, nmaj, nmin, nsel);
}

constexpr int P05 = 0, P10 = 1, P25 = 2, P50 = 3, P75 = 4, P90 = 5, P95 = 6;

// --- expected values ----------------------------------------------------------------------------

TEST(SummaryExpectedValues, OneRowDistributionIsCertain) {
  const Summary s = summarize(rows_of(3, 2, 5, 2, {}));
  EXPECT_EQ(s.esra, 1.0);
  EXPECT_EQ(s.esri, 1.0);
  EXPECT_EQ(s.eai, 1.0);
  EXPECT_TRUE(s.ai_defined);
  for (double p : s.perc) EXPECT_EQ(p, 1.0);
}

TEST(SummaryExpectedValues, LastRowWithoutMajorityHireCountsOnlyForTheMinorityRate) {
  // 5 majority and 4 minority applicants, 3 hired; a quarter of the probability on each split
  const Summary s = summarize(rows_of(5, 4, 3, 0, {0.25, 0.5, 0.75}));
  EXPECT_DOUBLE_EQ(s.esra, 0.25 * (3 + 2 + 1) / 5.0);
  EXPECT_DOUBLE_EQ(s.esri, 0.25 * (0 + 1 + 2 + 3) / 4.0);
  EXPECT_DOUBLE_EQ(s.pfin, 0.75);
  // ratios 0, (1/4)/(2/5) and (2/4)/(1/5), weighted equally and normalised over 0.75
  EXPECT_DOUBLE_EQ(s.eai, 0.25 * (0.0 + 0.625 + 2.5) / 0.75);
}

TEST(SummaryExpectedValues, RowsLeftOutOfTheTableStillCount) {
  // the second split's probability (0.000005) is too small to be printed
  const Summary s = summarize(rows_of(7, 3, 4, 0, {0.5, 0.500005, 0.9}));
  const double ratios[] = {0.0, 7.0 / 9.0, 7.0 / 3.0, 7.0};
  const double probs[] = {0.5, 0.000005, 0.399995, 0.1};
  double expected = 0.0;
  for (int r = 0; r < 4; ++r) expected += probs[r] * ratios[r];
  EXPECT_NEAR(s.eai, expected, 1e-12);
}

TEST(SummaryExpectedValues, NoDefinedRatioIsShownAsTheUndefinedMarker) {
  // every hire from the minority group for certain
  const Summary s = summarize(rows_of(5, 4, 3, 0, {0.0, 0.0, 0.0}));
  EXPECT_FALSE(s.ai_defined);
  EXPECT_EQ(s.eai, kUndefinedRatio);
  EXPECT_EQ(s.esra, 0.0);
  EXPECT_EQ(s.esri, 0.75);
  for (double p : s.perc) EXPECT_EQ(p, kUndefinedRatio);

  RecordingUnit report;
  write_summary(s, report);
  ASSERT_EQ(report.lines.size(), 15u);
  EXPECT_EQ(report.lines[9], "  0.000  0.750 -1.000");
}

// --- percentiles --------------------------------------------------------------------------------

TEST(SummaryPercentiles, LevelReachedExactlyTakesThatRow) {
  // binary fractions keep the running sum exact: 0.125, 0.25, 0.5, 1
  const Distribution d = rows_of(7, 3, 4, 0, {0.125, 0.25, 0.5});
  ASSERT_EQ(d.pvsc[1], 0.25);
  const Summary s = summarize(d);
  EXPECT_EQ(s.perc[P05], d.ai[0]);
  EXPECT_EQ(s.perc[P10], d.ai[0]);
  EXPECT_EQ(s.perc[P25], d.ai[1]);
  EXPECT_EQ(s.perc[P50], d.ai[2]);
  EXPECT_EQ(s.perc[P75], d.ai[3]);
  EXPECT_EQ(s.perc[P95], d.ai[3]);
}

TEST(SummaryPercentiles, LevelJustMissedMovesToALaterRow) {
  const Distribution d = rows_of(7, 3, 4, 0, {0.125, 0.2499999, 0.5});
  const Summary s = summarize(d);
  EXPECT_EQ(s.perc[P25], d.ai[2]);
}

TEST(SummaryPercentiles, FirstRowAtNinetyFivePercentHoldsEveryPercentile) {
  const Distribution d = rows_of(7, 3, 4, 0, {0.95, 0.97, 0.99});
  const Summary s = summarize(d);
  for (double p : s.perc) EXPECT_EQ(p, d.ai[0]);
}

TEST(SummaryPercentiles, LevelsReachedOnlyAtAnUndefinedLastRowAreMinusOne) {
  const Summary s = summarize(rows_of(5, 4, 3, 0, {0.25, 0.5, 0.75}));
  EXPECT_DOUBLE_EQ(s.perc[P75], 2.5);
  EXPECT_EQ(s.perc[P90], kUndefinedRatio);
  EXPECT_EQ(s.perc[P95], kUndefinedRatio);
}

TEST(SummaryPercentiles, UnprintedRowCanBeWhereALevelIsReached) {
  // the second split carries 0.000005 and takes the running sum from 0.049999 to 0.050004
  const Distribution d = rows_of(7, 3, 4, 0, {0.049999, 0.050004, 0.9});
  const Summary s = summarize(d);
  EXPECT_EQ(s.perc[P05], d.ai[1]);
  EXPECT_EQ(s.perc[P10], d.ai[2]);
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
  SCOPED_TRACE(testing::Message() << nmaj << " " << nmin << " " << nsel);
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

  const Distribution d = rows_of(nmaj, nmin, nsel, jlow, cumulative);
  const Summary s = summarize(d);
  EXPECT_NEAR(s.esra, static_cast<double>(nsel) / ntot, 1e-12);
  EXPECT_NEAR(s.esri, static_cast<double>(nsel) / ntot, 1e-12);

  double defined = 0.0;
  double weighted = 0.0;
  for (int m = jlow; m <= mhigh; ++m) {
    if (nsel - m == 0) continue;
    const double p = pmf[static_cast<std::size_t>(m - jlow)];
    defined += p;
    weighted += p * (static_cast<double>(m) / nmin) / (static_cast<double>(nsel - m) / nmaj);
  }
  EXPECT_NEAR(s.pfin, defined, 1e-12);
  EXPECT_NEAR(s.eai, weighted / defined, 1e-12);
}

TEST(SummaryHypergeometric, ExpectedValuesMatchWithoutGroupDifference) {
  check_against_hypergeometric(7, 3, 4);
  check_against_hypergeometric(12, 8, 10);
  check_against_hypergeometric(4, 9, 7);    // more hires than majority applicants
  check_against_hypergeometric(10, 6, 4);   // the last split has no majority hire
  check_against_hypergeometric(40, 40, 1);  // a single hire
}

// --- the report section -------------------------------------------------------------------------

TEST(SummaryReport, SectionCarriesTheValuesInOrder) {
  Summary s;
  s.esra = 0.4;
  s.esri = 0.3;
  s.eai = 0.875;
  s.perc = {0.0, 0.125, 0.25, 0.5, 1.0, 2.0, -1.0};
  RecordingUnit report;
  write_summary(s, report);
  ASSERT_EQ(report.lines.size(), 15u);
  EXPECT_EQ(report.lines[0], "");
  EXPECT_EQ(report.lines[8], "    SRA    SRI     AI");
  EXPECT_EQ(report.lines[9], "  0.400  0.300  0.875");
  EXPECT_EQ(report.lines[13], "    P05    P10    P25    P50    P75    P90    P95");
  EXPECT_EQ(report.lines[14], "  0.000  0.125  0.250  0.500  1.000  2.000 -1.000");
}

}  // namespace
}  // namespace tarven::driver
