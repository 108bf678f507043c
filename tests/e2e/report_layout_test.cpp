// The report's opening sections, byte for byte, from a run of the built program.

#include <gtest/gtest.h>

#include <regex>

#include "tests/e2e/program_runner.h"

namespace tarven::e2e {
namespace {

const char* const kTypicalAnswers = "typical.out\n10\n7\n4\n0.5\n0.3 0.6\ny\n";

TEST(ReportLayout, OpensWithStartLineBannerAndProblemSpecification) {
  const ProgramRun run = run_program(kTypicalAnswers);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::vector<std::string> lines = lines_of(run.file("typical.out"));
  ASSERT_GT(lines.size(), 30u);

  // The date and time change from run to run; their layout does not.
  EXPECT_TRUE(std::regex_match(
      lines[0],
      std::regex(
          R"(Program execution starts on [ 1-3]\d/[ 1]\d/\d{4} at [ 12]\d:[ 1-5]\d:[ 1-5]\d)")))
      << lines[0];
  EXPECT_EQ(lines[1], "");

  const std::vector<std::string> banner_head = {
      "                    ++++++++++++",
      "                    ++ TARVEN ++",
      "                    ++++++++++++",
      "",
      "Analytical computation of the expected value and the",
      "sampling distribution function of the adverse impact ratio",
      "for single-stage selection decisions when the applicant",
      "group is a sample from a pre-screened population.",
      "",
  };
  for (std::size_t k = 0; k < banner_head.size(); ++k) EXPECT_EQ(lines[2 + k], banner_head[k]);
  EXPECT_FALSE(lines[11].empty());  // author and affiliation, in the program's own words
  EXPECT_EQ(lines[12], "");
  EXPECT_EQ(lines[13], "The program uses routines from the Slatec library (see");
  EXPECT_TRUE(lines[14].ends_with("and a couple")) << lines[14];
  EXPECT_TRUE(lines[15].starts_with("of algorithms")) << lines[15];
  EXPECT_TRUE(lines[15].ends_with(")")) << lines[15];

  const std::vector<std::string> specification = {
      "",
      "PROBLEM SPECIFICATION",
      "",
      "Total number of applicants:     10",
      "Number of majority group applicants:      7",
      "Number of minority group applicants:      3",
      "Required number of new employees:      4",
      "Effect size predictor (composite):  0.500000",
      "Correlation predictor--applicant pre-screening practice:  0.300",
      "Retention rate pre-screening practice:  0.600",
      "   corresponding pre-screening cutoff value: -0.253",
      "",
  };
  for (std::size_t k = 0; k < specification.size(); ++k) {
    EXPECT_EQ(lines[16 + k], specification[k]) << "specification line " << k;
  }
}

TEST(ReportLayout, TypicalRunHasTheFourSplitsAndTheSummary) {
  const ProgramRun run = run_program(kTypicalAnswers);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string report = run.file("typical.out");
  const std::vector<std::string> lines = lines_of(report);
  std::size_t k = 0;
  while (k < lines.size() && lines[k] != "PROGRAM OUTPUT") ++k;
  ASSERT_LT(k + 8, lines.size()) << report;
  EXPECT_EQ(lines[k + 1], "");
  EXPECT_EQ(lines[k + 2], "Exact Sampling Distribution Function Adverse Impact (AI).");
  EXPECT_EQ(lines[k + 7], "AIvalue    Prob   CProb     N2     N1");
  const char* const ratios[] = {"  0.000", "  0.778", "  2.333", "  7.000"};
  const char* const counts[] = {"      0      4", "      1      3", "      2      2",
                                "      3      1"};
  for (int r = 0; r < 4; ++r) {
    const std::string& row = lines[k + 8 + r];
    ASSERT_EQ(row.size(), 37u) << row;
    EXPECT_EQ(row.substr(0, 7), ratios[r]);
    EXPECT_EQ(row.substr(23), counts[r]);
  }
  EXPECT_EQ(lines[k + 12], "");
  EXPECT_EQ(lines[k + 13], "Exact values (i.e., values derived from the exact sampling");
  // The problem's cumulative probabilities rise and end at 1.
  EXPECT_EQ(lines[k + 11].substr(15, 8), "  1.0000");
  // On the console: the notice, the heading and one progress line per pair.
  EXPECT_NE(run.out.find("\n\nSOME OUTPUT TO SEE THE NUMBER CRUNCHING AT WORK\n\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("\n                      I      J      Pij\n"), std::string::npos);
  EXPECT_NE(run.out.find("\n               1      4      3"), std::string::npos);
  EXPECT_NE(run.out.find("\n               2      5      2"), std::string::npos);
  EXPECT_NE(run.out.find("\n               3      6      1"), std::string::npos);
}

TEST(ReportLayout, EndsWithTheProcessorTime) {
  const ProgramRun run = run_program(kTypicalAnswers);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::vector<std::string> lines = lines_of(run.file("typical.out"));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "");
  EXPECT_TRUE(std::regex_match(lines.back(), std::regex(R"(CPU TIME IN SECONDS  {7,}\d+\.\d\d)")))
      << lines.back();
}

}  // namespace
}  // namespace tarven::e2e

namespace tarven::e2e {
namespace {

TEST(ReportLayout, FarApartGroupsGetAnIntegrationRangeThatFollowsThem) {
  // With es 2.5 the best majority applicants score above 6.5 with real probability: the range
  // follows the groups, one line says so in place of the table's silence, and the table is the
  // exact distribution (the single-integral engine's, to the printed digits).
  const ProgramRun run = run_program("ab.out\n20\n10\n5\n2.5\n0.7 0.1\ny\n");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string report = run.file("ab.out");
  const std::string note =
      "NOTE: a score outside the integration range -6.5 to 6.5 has probability  0.4655E-03; the "
      "range   -4.329 to   10.082 is used instead.\n";
  const std::size_t spec_end = report.find("   corresponding pre-screening cutoff value:");
  ASSERT_NE(spec_end, std::string::npos);
  const std::size_t at_note = report.find("\n\n" + note + "\nPROGRAM OUTPUT\n");
  EXPECT_NE(at_note, std::string::npos) << report;
  EXPECT_GT(at_note, spec_end);
  EXPECT_NE(run.out.find(note), std::string::npos);
  EXPECT_EQ(run.out.find("COMPUTATION ABANDONED"), std::string::npos);
  const char* const rows[] = {
      "  0.000  0.8220  0.8220      0      5", "  0.250  0.1666  0.9886      1      4",
      "  0.667  0.0111  0.9997      2      3", "  1.500  0.0003  1.0000      3      2"};
  for (const char* row : rows)
    EXPECT_NE(report.find(std::string(row) + "\n"), std::string::npos) << row;
}

}  // namespace
}  // namespace tarven::e2e

namespace tarven::e2e {
namespace {

TEST(ReportLayout, ProblemTooLargeForMemoryEndsWithAMessageAndLeavesTheOldReport) {
  // Twenty megabytes of address space take the dialogue but not the evaluation's tables.
  const ProgramRun run = run_program("big.out\ny\n1000000\n500000\n1000\n0.5\n0.3 0.6\ny\n",
                                     {{"big.out", "old report\n"}}, "ulimit -v 20000");
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_NE(run.out.find(" Not enough memory for a problem of this size; the run stops.\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.file("big.out"), "old report\n");
}

}  // namespace
}  // namespace tarven::e2e
