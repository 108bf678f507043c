// What the console program writes of a result: the distribution table, the console lines of
// clearly negative probabilities, and the summary section.

#include "console/report_body.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "core/distribution.h"
#include "core/seams.h"
#include "core/summary.h"
#include "tests/app/console/recording_unit.h"

namespace tarven::console {
namespace {

using testing_support::RecordingUnit;

// A completed evaluation with the given cumulative values (pairs 1 .. npair).
Result result_of(int nmaj, int nmin, int nsel, std::vector<double> cumulative) {
  Result r;
  r.distribution = core::build_distribution(model::make_pair_plan(nmaj, nmin, nsel), cumulative);
  core::summarize(r);
  return r;
}

constexpr std::size_t kHeadLines = 8;  // format 244 (one line) and format 250 (seven)

// The table rows written to the report, without the head.
std::vector<std::string> printed_rows(const Result& d) {
  RecordingUnit report;
  RecordingUnit console;
  write_distribution(d, report, console);
  EXPECT_GE(report.lines.size(), kHeadLines);
  return {report.lines.begin() + static_cast<std::ptrdiff_t>(kHeadLines), report.lines.end()};
}

PairResult pair(int k, int i, int j, double lbeta1, double value, PairOutcome outcome,
                double stored) {
  PairResult p;
  p.k = k;
  p.i = i;
  p.j = j;
  p.lbeta1 = lbeta1;
  p.value = value;
  p.outcome = outcome;
  p.stored = stored;
  return p;
}

TEST(PairLines, AcceptedPairWritesBetaLineThenPairLine) {
  RecordingUnit console;
  write_pair(pair(1, 4, 3, -std::log(140.0), 0.25, PairOutcome::kAccepted, 0.25),
             console);  // B(4, 4) = 1/140
  write_pair(pair(3, 6, 1, -std::log(140.0), 0.75, PairOutcome::kAccepted, 0.75), console);
  ASSERT_EQ(console.lines.size(), 4u);
  EXPECT_EQ(console.lines[0],
            "LBETA BETA   -0.49416424226E+01   0.71428571429E-02   0.25000000000E+00");
  EXPECT_EQ(console.lines[1], "               1      4      3   0.25000    0.2500000000E+00");
  EXPECT_EQ(console.lines[3], "               3      6      1   0.75000    0.7500000000E+00");
}

TEST(PairLines, CappedPairShowsOneAndTheRawIntegral) {
  RecordingUnit console;
  write_pair(pair(1, 4, 3, -1.0, 1.00004, PairOutcome::kCapped, 1.0), console);
  ASSERT_EQ(console.lines.size(), 2u);
  EXPECT_TRUE(console.lines[0].ends_with("   0.10000400000E+01"));
  EXPECT_EQ(console.lines[1], "               1      4      3   1.00000    0.1000040000E+01");
}

TEST(PairLines, RetriedAttemptShowsItsValueButNoPairLineAndSaturatedPairsNothing) {
  RecordingUnit console;
  write_pair(
      pair(2, 5, 2, -1.0, std::numeric_limits<double>::quiet_NaN(), PairOutcome::kAboveOne, 0.0),
      console);
  write_pair(pair(2, 5, 2, -1.0, 0.5, PairOutcome::kFell, 0.0), console);
  write_pair(pair(3, 6, 1, 0.0, 1.0, PairOutcome::kSaturated, 1.0), console);
  ASSERT_EQ(console.lines.size(), 2u);
  EXPECT_TRUE(console.lines[0].ends_with("NaN")) << console.lines[0];
  EXPECT_TRUE(console.lines[1].starts_with("LBETA BETA")) << console.lines[1];
}

TEST(DistributionReport, HiringEveryoneIsOneCertainRow) {
  EXPECT_EQ(printed_rows(result_of(3, 2, 5, {})),
            (std::vector<std::string>{"  1.000  1.0000  1.0000      2      3"}));
}

TEST(DistributionReport, TypicalTableIsWrittenCompletely) {
  const Result d = result_of(7, 3, 4, {0.1, 0.4, 0.9});
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
  const Result at = result_of(7, 3, 4, {0.00001, 0.5, 0.9});
  const Result below = result_of(7, 3, 4, {0.0000099, 0.5, 0.9});
  EXPECT_EQ(printed_rows(at).size(), 4u);
  const std::vector<std::string> rows = printed_rows(below);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], "  0.778  0.5000  0.5000      1      3");
}

TEST(DistributionReport, LaterRowPrintedFromTheThresholdOn) {
  // a difference from 0 is exact, so the second row's probability is the threshold itself
  const Result at = result_of(7, 3, 4, {0.0, 0.00001, 0.5});
  const Result below = result_of(7, 3, 4, {0.0, 0.0000099, 0.5});
  ASSERT_EQ(at.distribution[1].prob, 0.00001);
  const std::vector<std::string> rows = printed_rows(at);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], "  0.778  0.0000  0.0000      1      3");
  EXPECT_EQ(printed_rows(below).size(), 2u);
}

TEST(DistributionReport, RowAfterCumulativeOfExactlyOneIsSuppressed) {
  // cumulative values beyond 1 cannot come out of the enumeration, but the rule must not care
  const Result reached = result_of(7, 3, 4, {0.5, 1.0, 1.00002});
  ASSERT_EQ(reached.distribution[1].cum_prob, 1.0);
  ASSERT_GE(reached.distribution[2].prob, 0.00001);
  EXPECT_EQ(printed_rows(reached).size(), 2u);

  const Result short_of_one = result_of(7, 3, 4, {0.5, 0.9999999, 1.00002});
  ASSERT_LT(short_of_one.distribution[1].cum_prob, 1.0);
  const std::vector<std::string> rows = printed_rows(short_of_one);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2], "  2.333  0.0000  1.0000      2      2");
}

TEST(DistributionReport, UndefinedRatioInLastRowIsPrintedAfterCumulativeOne) {
  // 5 majority and 4 minority applicants, 3 hired: the last split has no majority hire
  Result d = result_of(5, 4, 3, {0.5, 0.9, 0.99});
  ASSERT_FALSE(d.distribution[3].ai.has_value());
  EXPECT_EQ(d.distribution[3].n_majority_hired, 0);
  std::vector<std::string> rows = printed_rows(d);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3], " -1.000  0.0100  1.0000      3      0");

  d.distribution[2].cum_prob =
      1.0;  // as if rounding had carried the running sum to 1 one row early
  rows = printed_rows(d);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3], " -1.000  0.0100  1.0000      3      0");

  d.distribution[1].cum_prob = 1.0;  // the same for a row with a defined ratio suppresses it
  EXPECT_EQ(printed_rows(d).size(), 3u);
}

TEST(DistributionReport, ClearlyNegativeProbabilityGoesToTheConsoleBetweenHeadAndRows) {
  const Result d = result_of(7, 3, 4, {0.0000501, 0.0, 0.5});
  ASSERT_EQ(d.distribution[1].prob, -0.0000501);
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
  const Result d = result_of(7, 3, 4, {0.00005, 0.0, 0.5});
  ASSERT_EQ(d.distribution[1].prob, -0.00005);
  RecordingUnit report;
  RecordingUnit console;
  write_distribution(d, report, console);
  EXPECT_TRUE(console.lines.empty());
}

TEST(DistributionReport, EveryFlaggedRowGetsItsOwnLineInRowOrder) {
  const Result d = result_of(7, 3, 4, {0.5, 0.2, 0.1});
  RecordingUnit report;
  RecordingUnit console;
  write_distribution(d, report, console);
  const std::vector<std::string> expected{
      "ERROR in MAIN NEG PROP near fmt 666   1  0.500000  0.200000",
      "ERROR in MAIN NEG PROP near fmt 666   2  0.200000  0.100000",
  };
  EXPECT_EQ(console.lines, expected);
}

TEST(SummaryReport, SectionCarriesTheValuesInOrder) {
  Result s;
  s.expected_sr_majority = 0.4;
  s.expected_sr_minority = 0.3;
  s.expected_ai = 0.875;
  s.percentiles = {0.0, 0.125, 0.25, 0.5, 1.0, 2.0, std::nullopt};
  RecordingUnit report;
  write_summary(s, report);
  ASSERT_EQ(report.lines.size(), 15u);
  EXPECT_EQ(report.lines[0], "");
  EXPECT_EQ(report.lines[8], "    SRA    SRI     AI");
  EXPECT_EQ(report.lines[9], "  0.400  0.300  0.875");
  EXPECT_EQ(report.lines[13], "    P05    P10    P25    P50    P75    P90    P95");
  EXPECT_EQ(report.lines[14], "  0.000  0.125  0.250  0.500  1.000  2.000 -1.000");
}

TEST(SummaryReport, NoDefinedRatioIsShownAsTheUndefinedMarker) {
  // every hire from the minority group for certain
  RecordingUnit report;
  write_summary(result_of(5, 4, 3, {0.0, 0.0, 0.0}), report);
  ASSERT_EQ(report.lines.size(), 15u);
  EXPECT_EQ(report.lines[9], "  0.000  0.750 -1.000");
  EXPECT_EQ(report.lines[14], " -1.000 -1.000 -1.000 -1.000 -1.000 -1.000 -1.000");
}

}  // namespace
}  // namespace tarven::console

namespace tarven::console {
namespace {

struct Rendered {
  Result result;
  RecordingUnit console;
  RecordingUnit report;
  RecordingUnit messages;
};

Rendered render_problem(int ntot, int nmaj, int nsel, double es, double rho, double retention,
                        const Options& options = Options::nested()) {
  Rendered r;
  const Problem p = std::get<Problem>(Problem::make(ntot, nmaj, nsel, es, rho, retention));
  r.result = write_report_body(p, DateTime{2026, 12, 7, 9, 5, 3}, options, r.console, r.report,
                               r.messages);
  return r;
}

std::string fixed(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
}

// Every printed row is a row of the result to the report's digits, in order, and the summary
// lines carry the result's expected values and percentiles.
TEST(ReportAgreesWithResult, RowsExpectedValuesAndPercentiles) {
  for (const auto& r :
       {render_problem(10, 7, 4, 0.5, 0.3, 0.6), render_problem(30, 20, 8, -1.5, -0.6, 0.05),
        render_problem(10, 3, 6, 0.2, -0.4, 0.7)}) {
    ASSERT_EQ(r.result.status, Status::kOk);
    const auto& lines = r.report.lines;
    std::size_t at = 0;
    while (at < lines.size() && lines[at] != "AIvalue    Prob   CProb     N2     N1") ++at;
    ASSERT_LT(at, lines.size());
    std::size_t row = 0;
    for (++at; at < lines.size() && !lines[at].empty(); ++at) {
      std::istringstream in(lines[at]);
      double ai = 0, prob = 0, cum = 0;
      int n2 = 0, n1 = 0;
      in >> ai >> prob >> cum >> n2 >> n1;
      while (row < r.result.distribution.size() &&
             r.result.distribution[row].n_minority_hired != n2)
        ++row;
      ASSERT_LT(row, r.result.distribution.size()) << lines[at];
      const DistributionRow& d = r.result.distribution[row];
      EXPECT_EQ(n1, d.n_majority_hired);
      EXPECT_EQ(fixed(ai, 3), fixed(d.ai.value_or(-1.0), 3));
      EXPECT_EQ(fixed(prob, 4), fixed(d.prob, 4));
      EXPECT_EQ(fixed(cum, 4), fixed(d.cum_prob, 4));
    }
    std::size_t summary = 0;
    while (summary < lines.size() && lines[summary] != "    SRA    SRI     AI") ++summary;
    ASSERT_LT(summary + 6, lines.size());
    std::istringstream expected(lines[summary + 1]);
    double sra = 0, sri = 0, eai = 0;
    expected >> sra >> sri >> eai;
    EXPECT_EQ(fixed(sra, 3), fixed(r.result.expected_sr_majority, 3));
    EXPECT_EQ(fixed(sri, 3), fixed(r.result.expected_sr_minority, 3));
    EXPECT_EQ(fixed(eai, 3), fixed(r.result.expected_ai.value_or(-1.0), 3));
    std::istringstream percentiles(lines[summary + 6]);
    for (const auto& p : r.result.percentiles) {
      double shown = 0;
      percentiles >> shown;
      EXPECT_EQ(fixed(shown, 3), fixed(p.value_or(-1.0), 3));
    }
  }
}

TEST(NumericalStop, TheStoppingMessageIsTheLastThingPrintedAndTheReportEndsThere) {
  const core::ScopedSeams seams(
      {.outer_ier = [](int k, double, double) { return k == 2 ? 6 : 0; }});
  const Rendered r = render_problem(10, 7, 4, 0.5, 0.3, 0.6);
  ASSERT_EQ(r.result.status, Status::kNumericalStop);
  const std::vector<std::string> message = {
      " *** numerical library message from routine DQAG",
      " *** RECOVERABLE ERROR, THE RUN STOPS",
      " *   ABNORMAL RETURN",
      " *   ERROR NUMBER = 6",
      " *** end of message",
  };
  EXPECT_EQ(r.messages.lines, message);
  // The first pair's two lines are the last on the console; the report ends with the problem.
  ASSERT_GE(r.console.lines.size(), 2u);
  EXPECT_TRUE(r.console.lines.back().starts_with("               1      4      3"))
      << r.console.lines.back();
  EXPECT_EQ(r.report.lines.back(), "");
  EXPECT_EQ(r.report.lines[r.report.lines.size() - 2],
            "   corresponding pre-screening cutoff value: -0.253");
}

}  // namespace
}  // namespace tarven::console

namespace tarven::console {
namespace {

TEST(PairCheck, AContradictedPairIsNamedOnTheConsoleAndInTheReportAfterTheTable) {
  const core::ScopedSeams seams(
      {.adjust_result = [](int k, double, double, double r) { return k == 2 ? r + 3e-5 : r; }});
  const Rendered r = render_problem(10, 7, 4, 0.5, 0.3, 0.6);
  ASSERT_EQ(r.result.discrepancies.size(), 1u);
  const PairDiscrepancy& d = r.result.discrepancies[0];
  char line[160];
  std::snprintf(line, sizeof line,
                "CHECK: pair      2 (i       5, j       2) integrated%12.8f, exact%12.8f, "
                "difference",
                d.nested, d.exact);
  // In the report between the last row of the table and the summary.
  const auto& lines = r.report.lines;
  std::size_t at = 0;
  while (at < lines.size() && !lines[at].starts_with(line)) ++at;
  ASSERT_LT(at, lines.size()) << line;
  EXPECT_EQ(lines[at - 1], "  7.000  0.0076  1.0000      3      1");
  EXPECT_EQ(lines[at + 1], "");
  EXPECT_TRUE(lines[at + 2].starts_with("Exact values")) << lines[at + 2];
  EXPECT_TRUE(lines[at].ends_with("0.3000E-04")) << lines[at];
  std::size_t on_console = 0;
  for (const std::string& c : r.console.lines) on_console += c.starts_with(line) ? 1 : 0;
  EXPECT_EQ(on_console, 1u);
}

}  // namespace
}  // namespace tarven::console
