#include "driver/distribution.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tests/recording_unit.h"

namespace tarven::driver {
namespace {

using testing_support::RecordingUnit;

// A completed enumeration with the given cumulative values (entries 1 .. npair).
Enumeration completed(int jlow, std::vector<double> cumulative) {
  Enumeration e;
  e.jlow = jlow;
  e.npair = static_cast<int>(cumulative.size());
  e.prob = std::move(cumulative);
  e.prob.push_back(0.0);
  return e;
}

constexpr std::size_t kHeadLines = 8;  // format 244 (one line) and format 250 (seven)

// The table rows written to the report, without the head.
std::vector<std::string> printed_rows(const Distribution& d) {
  RecordingUnit report;
  RecordingUnit console;
  write_distribution(d, report, console);
  EXPECT_GE(report.lines.size(), kHeadLines);
  return {report.lines.begin() + static_cast<std::ptrdiff_t>(kHeadLines), report.lines.end()};
}

// --- building the rows --------------------------------------------------------------------------

TEST(DistributionRows, TypicalProblemGivesFourSplits) {
  // 7 majority and 3 minority applicants, 4 hired
  const Distribution d = build_distribution(completed(0, {0.1, 0.4, 0.9}), 7, 3, 4);
  ASSERT_EQ(d.nrow, 4);
  EXPECT_EQ(d.prob[3], 1.0);
  EXPECT_EQ(d.ny, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(d.nx, (std::vector<int>{4, 3, 2, 1}));
  const double ai[] = {0.0, 7.0 / 9.0, 7.0 / 3.0, 7.0};
  const double pvs[] = {0.1, 0.3, 0.5, 0.1};
  for (std::size_t r = 0; r < 4; ++r) {
    EXPECT_NEAR(d.ai[r], ai[r], 1e-15) << "row " << r + 1;
    EXPECT_NEAR(d.pvs[r], pvs[r], 1e-15) << "row " << r + 1;
    EXPECT_EQ(d.sr1[r], d.nx[r] / 7.0);
    EXPECT_EQ(d.sr2[r], d.ny[r] / 3.0);
  }
  EXPECT_NEAR(d.pvsc[2], 0.9, 1e-15);
  EXPECT_NEAR(d.pvsc[3], 1.0, 1e-15);
}

TEST(DistributionRows, MoreHiresThanMajorityApplicantsEndsWithoutMajorityHire) {
  // 2 majority and 8 minority applicants, 5 hired: at least 3 minority hires
  const Distribution d = build_distribution(completed(3, {0.2, 0.6}), 2, 8, 5);
  ASSERT_EQ(d.nrow, 3);
  EXPECT_EQ(d.ny, (std::vector<int>{3, 4, 5}));
  EXPECT_EQ(d.nx, (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(d.sr1[0], 1.0);
  EXPECT_EQ(d.sr1[2], 0.0);
  EXPECT_EQ(d.sr2[2], 5.0 / 8.0);
  EXPECT_EQ(d.ai[2], kUndefinedRatio);
  EXPECT_DOUBLE_EQ(d.ai[1], (4.0 / 8.0) / (1.0 / 2.0));
}

TEST(DistributionRows, HiringEveryoneIsOneCertainRow) {
  const Distribution d = build_distribution(completed(2, {}), 3, 2, 5);
  ASSERT_EQ(d.nrow, 1);
  EXPECT_EQ(d.pvs[0], 1.0);
  EXPECT_EQ(d.pvsc[0], 1.0);
  EXPECT_EQ(d.sr1[0], 1.0);
  EXPECT_EQ(d.sr2[0], 1.0);
  EXPECT_EQ(d.ai[0], 1.0);
  EXPECT_EQ(printed_rows(d), (std::vector<std::string>{"  1.000  1.0000  1.0000      2      3"}));
}

TEST(DistributionRows, NegativePointProbabilityStaysInTheRunningSum) {
  const Distribution d = build_distribution(completed(0, {0.3, 0.2, 0.9}), 7, 3, 4);
  EXPECT_NEAR(d.pvs[1], -0.1, 1e-15);
  EXPECT_NEAR(d.pvsc[1], 0.2, 1e-15);
  EXPECT_NEAR(d.pvsc[3], 1.0, 1e-15);
}

// --- the report ---------------------------------------------------------------------------------

TEST(DistributionReport, TypicalTableIsWrittenCompletely) {
  const Distribution d = build_distribution(completed(0, {0.1, 0.4, 0.9}), 7, 3, 4);
  RecordingUnit report;
  RecordingUnit console;
  write_distribution(d, report, console);
  const std::vector<std::string> expected{
      "PROGRAM OUTPUT",
      "",
      "Exact Sampling Distribution Function Adverse Impact (AI).",
      "The value -1.000 for AI means AI is not defined",
      "N2: number selected from the minority applicant group",
      "N1: number selected from the majority applicant group",
      "",
      "AIvalue    Prob   CProb     N2     N1",
      "  0.000  0.1000  0.1000      0      4",
      "  0.778  0.3000  0.4000      1      3",
      "  2.333  0.5000  0.9000      2      2",
      "  7.000  0.1000  1.0000      3      1",
  };
  EXPECT_EQ(report.lines, expected);
  EXPECT_TRUE(console.lines.empty());
}

TEST(DistributionReport, FirstRowPrintedFromTheThresholdOn) {
  const Distribution at = build_distribution(completed(0, {0.00001, 0.5, 0.9}), 7, 3, 4);
  const Distribution below = build_distribution(completed(0, {0.0000099, 0.5, 0.9}), 7, 3, 4);
  EXPECT_EQ(printed_rows(at).size(), 4u);
  const std::vector<std::string> rows = printed_rows(below);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], "  0.778  0.5000  0.5000      1      3");
}

TEST(DistributionReport, LaterRowPrintedFromTheThresholdOn) {
  // a difference from 0 is exact, so the second row's probability is the threshold itself
  const Distribution at = build_distribution(completed(0, {0.0, 0.00001, 0.5}), 7, 3, 4);
  const Distribution below = build_distribution(completed(0, {0.0, 0.0000099, 0.5}), 7, 3, 4);
  ASSERT_EQ(at.pvs[1], 0.00001);
  const std::vector<std::string> rows = printed_rows(at);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], "  0.778  0.0000  0.0000      1      3");
  EXPECT_EQ(printed_rows(below).size(), 2u);
}

TEST(DistributionReport, RowAfterCumulativeOfExactlyOneIsSuppressed) {
  // cumulative values beyond 1 cannot come out of the enumeration, but the rule must not care
  const Distribution reached = build_distribution(completed(0, {0.5, 1.0, 1.00002}), 7, 3, 4);
  ASSERT_EQ(reached.pvsc[1], 1.0);
  ASSERT_GE(reached.pvs[2], 0.00001);
  EXPECT_EQ(printed_rows(reached).size(), 2u);

  const Distribution short_of_one =
      build_distribution(completed(0, {0.5, 0.9999999, 1.00002}), 7, 3, 4);
  ASSERT_LT(short_of_one.pvsc[1], 1.0);
  const std::vector<std::string> rows = printed_rows(short_of_one);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2], "  2.333  0.0000  1.0000      2      2");
}

TEST(DistributionReport, UndefinedRatioInLastRowIsPrintedAfterCumulativeOne) {
  // 5 majority and 4 minority applicants, 3 hired: the last split has no majority hire
  Distribution d = build_distribution(completed(0, {0.5, 0.9, 0.99}), 5, 4, 3);
  ASSERT_EQ(d.ai[3], kUndefinedRatio);
  EXPECT_EQ(d.nx[3], 0);
  std::vector<std::string> rows = printed_rows(d);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3], " -1.000  0.0100  1.0000      3      0");

  d.pvsc[2] = 1.0;  // as if rounding had carried the running sum to 1 one row early
  rows = printed_rows(d);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3], " -1.000  0.0100  1.0000      3      0");

  d.pvsc[1] = 1.0;  // the same for a row with a defined ratio suppresses it
  EXPECT_EQ(printed_rows(d).size(), 3u);
}

TEST(DistributionReport, ClearlyNegativeProbabilityGoesToTheConsoleBetweenHeadAndRows) {
  const Distribution d = build_distribution(completed(0, {0.0000501, 0.0, 0.5}), 7, 3, 4);
  ASSERT_EQ(d.pvs[1], -0.0000501);
  RecordingUnit both;  // one unit for report and console shows the order of the writes
  write_distribution(d, both, both);
  ASSERT_EQ(both.lines.size(), kHeadLines + 1 + 3);
  EXPECT_EQ(both.lines[kHeadLines - 1], "AIvalue    Prob   CProb     N2     N1");
  EXPECT_EQ(both.lines[kHeadLines], "ERROR in MAIN NEG PROP near fmt 666   1  0.000050  0.000000");
  // the negative row itself is never printed
  EXPECT_EQ(both.lines[kHeadLines + 1], "  0.000  0.0001  0.0001      0      4");
  EXPECT_EQ(both.lines[kHeadLines + 2], "  2.333  0.5000  0.5000      2      2");
}

TEST(DistributionReport, SmallNegativeProbabilityPassesSilently) {
  const Distribution d = build_distribution(completed(0, {0.00005, 0.0, 0.5}), 7, 3, 4);
  ASSERT_EQ(d.pvs[1], -0.00005);
  RecordingUnit report;
  RecordingUnit console;
  write_distribution(d, report, console);
  EXPECT_TRUE(console.lines.empty());
}

TEST(DistributionReport, EveryFlaggedRowGetsItsOwnLineInRowOrder) {
  const Distribution d = build_distribution(completed(0, {0.5, 0.2, 0.1}), 7, 3, 4);
  RecordingUnit report;
  RecordingUnit console;
  write_distribution(d, report, console);
  const std::vector<std::string> expected{
      "ERROR in MAIN NEG PROP near fmt 666   1  0.500000  0.200000",
      "ERROR in MAIN NEG PROP near fmt 666   2  0.200000  0.100000",
  };
  EXPECT_EQ(console.lines, expected);
}

}  // namespace
}  // namespace tarven::driver
