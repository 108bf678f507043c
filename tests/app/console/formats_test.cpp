// The lines each layout of the program produces, with the values its writer passes.

#include "console/formats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/format.h"

namespace tarven::console {
namespace {

// The lines of a rendered text, without their line ends. Every rendered text ends with one.
std::vector<std::string> lines_of(const std::string& text) {
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string blanks(std::size_t n) {
  return std::string(n, ' ');
}

TEST(Layouts, StartOfRun3488) {
  EXPECT_EQ(lines_of(render(kFormat3488, {7, 12, 2026, 9, 5, 3})),
            (std::vector<std::string>{"Program execution starts on  7/12/2026 at  9: 5: 3", ""}));
  EXPECT_EQ(render(kFormat3488, {31, 1, 1999, 23, 59, 58}),
            "Program execution starts on 31/ 1/1999 at 23:59:58\n\n");
}

TEST(Layouts, GroupMeanCheck4320) {
  EXPECT_EQ(render(kFormat4320, {0.123456789, -1.5}), "ZMI ZMA     0.123457   -1.500000\n");
}

TEST(Layouts, Banner5000) {
  const std::vector<std::string> lines = lines_of(render(kFormat5000, {}));
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[0], blanks(20) + "++++++++++++");
  EXPECT_EQ(lines[1], blanks(20) + "++ TARVEN ++");
  EXPECT_EQ(lines[2], blanks(20) + "++++++++++++");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "Analytical computation of the expected value and the");
  EXPECT_EQ(lines[5], "sampling distribution function of the adverse impact ratio");
  EXPECT_EQ(lines[6], "for single-stage selection decisions when the applicant");
  EXPECT_EQ(lines[7], "group is a sample from a pre-screened population.");
  EXPECT_EQ(lines[8], "");
  EXPECT_FALSE(lines[9].empty());
  EXPECT_EQ(lines[10], "");
  EXPECT_EQ(lines[11], "The program uses routines from the Slatec library (see");
  EXPECT_NE(lines[12].find("GSL"), std::string::npos);
  EXPECT_NE(lines[12].find("http://www.netlib.org/slatec/"), std::string::npos);
  EXPECT_TRUE(lines[12].ends_with("and a couple"));
  EXPECT_TRUE(lines[13].starts_with("of algorithms"));
  EXPECT_NE(lines[13].find("http://lib.stat.cmu.edu/"), std::string::npos);
  EXPECT_TRUE(lines[13].ends_with(")"));
}

TEST(Layouts, ProblemSpecification5002) {
  const std::vector<std::string> lines =
      lines_of(render(kFormat5002, {10, 7, 3, 4, 0.5, 0.3, 0.6, -0.2533471031357997}));
  const std::vector<std::string> expected{
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
      ""};
  EXPECT_EQ(lines, expected);
  // A negative minority count and a cutoff of zero are shown as they are.
  const std::vector<std::string> odd =
      lines_of(render(kFormat5002, {5, 7, -2, 4, -1.25, 0.0, 1.0, 0.0}));
  ASSERT_EQ(odd.size(), 12u);
  EXPECT_EQ(odd[5], "Number of minority group applicants:     -2");
  EXPECT_EQ(odd[7], "Effect size predictor (composite): -1.250000");
  EXPECT_EQ(odd[10], "   corresponding pre-screening cutoff value:  0.000");
}

TEST(Layouts, ProgressNotice456) {
  EXPECT_EQ(render(kFormat456, {}), "\n\nSOME OUTPUT TO SEE THE NUMBER CRUNCHING AT WORK\n\n");
}

TEST(Layouts, PairHeading312AndPairLine678ShareColumns) {
  const std::vector<std::string> heading = lines_of(render(kFormat312, {}));
  ASSERT_EQ(heading.size(), 7u);
  EXPECT_EQ(heading[0], "Computation of the probabilities Pij as documented in the");
  EXPECT_EQ(heading[1], "users guide. For each combination of feasible values");
  EXPECT_EQ(heading[2], "for i (the ith order statistic of the majority sample)");
  EXPECT_EQ(heading[3], "and j (the jth order statistic of the minority sample): the");
  EXPECT_EQ(heading[4], "estimates of Pij:");
  EXPECT_EQ(heading[5], "");
  const std::string& columns = heading[6];
  EXPECT_EQ(columns, blanks(22) + "I" + blanks(6) + "J" + blanks(6) + "Pij");
  EXPECT_EQ(columns.find('I'), 22u);    // column 23
  EXPECT_EQ(columns.find('J'), 29u);    // column 30
  EXPECT_EQ(columns.find("Pij"), 36u);  // columns 37 to 39

  const std::string pair = render(kFormat678, {12, 4, 3, 0.123456, 1.5});
  EXPECT_EQ(pair, blanks(10) + "    12" + "      4" + "      3" + "   0.12346" +
                      "    0.1500000000E+01\n");
  ASSERT_EQ(pair.size(), 61u);
  // i and j end right under their heading letters.
  EXPECT_EQ(pair[22], '4');
  EXPECT_EQ(pair[29], '3');
  EXPECT_EQ(pair.substr(30, 10), "   0.12346");
  EXPECT_EQ(pair.substr(40, 20), "    0.1500000000E+01");
}

TEST(Layouts, LogBetaCheck2221) {
  EXPECT_EQ(render(kFormat2221, {-2.5, 1.5, 0.0}),
            "LBETA BETA   -0.25000000000E+01   0.15000000000E+01   0.00000000000E+00\n");
}

TEST(Layouts, IntegrationDiagnostics100And200) {
  EXPECT_EQ(render(kFormat100Fun, {5, 1.5, -1.5, 250}),
            "DQAG ERROR in FUN bound  res last   5  0.1500E+01 -0.1500E+01     250\n");
  // D12.5 of a negative value has no spare blank, so it touches the ier digit.
  EXPECT_EQ(render(kFormat200Dist, {1.5, 1, -1.5}),
            "Bound ier in dist  0.15000E+01 1-0.15000E+01\n");
  EXPECT_EQ(render(kFormat200Dist, {-6.5, 5, 1e-120}),
            "Bound ier in dist -0.65000E+01 5 0.10000-119\n");
}

TEST(Layouts, DistributionTable244And250And200) {
  EXPECT_EQ(render(kFormat244, {}), "PROGRAM OUTPUT\n");
  const std::vector<std::string> heading = lines_of(render(kFormat250, {}));
  const std::vector<std::string> expected{
      "",
      "Exact Sampling Distribution Function Adverse Impact (AI).",
      "The value -1.000 for AI means AI is not defined",
      "N2: number selected from the minority applicant group",
      "N1: number selected from the majority applicant group",
      "",
      "AIvalue    Prob   CProb     N2     N1"};
  EXPECT_EQ(heading, expected);
  EXPECT_EQ(heading.back().size(), 37u);

  EXPECT_EQ(render(kFormat200Row, {0.5, 0.1234, 0.5678, 3, 7}),
            "  0.500  0.1234  0.5678      3      7\n");
  EXPECT_EQ(render(kFormat200Row, {-1.0, 0.00004, 1.0, 4, 0}),
            " -1.000  0.0000  1.0000      4      0\n");
  EXPECT_EQ(render(kFormat200Row, {7.0, 0.99996, 1.0, 3, 1}),
            "  7.000  1.0000  1.0000      3      1\n");
}

TEST(Layouts, NegativeProbability666) {
  EXPECT_EQ(render(kFormat666, {3, -0.0001234, 0.5}),
            "ERROR in MAIN NEG PROP near fmt 666   3 -0.000123  0.500000\n");
}

TEST(Layouts, ExpectedValuesAndPercentiles240) {
  const std::vector<std::string> lines =
      lines_of(render(kFormat240, {0.4, 0.35, 0.875, 0.0, 0.0, 0.778, 0.778, 2.333, 2.333, 7.0}));
  const std::vector<std::string> expected{
      "",
      "Exact values (i.e., values derived from the exact sampling",
      "distribution) for the expected selection rate in the majority",
      "group (SRA), the expected selection rate in the minority",
      "group (SRI) and the expected adverse impact ratio (AI)",
      "Observe that the expected adverse impact is computed over",
      "only the finite values of AI!",
      "",
      "    SRA    SRI     AI",
      "  0.400  0.350  0.875",
      "",
      "Percentile values sampling distrubtion AI: 5, 10, 25, 50,",
      "75, 90 and 95th percentile",
      "    P05    P10    P25    P50    P75    P90    P95",
      "  0.000  0.000  0.778  0.778  2.333  2.333  7.000"};
  EXPECT_EQ(lines, expected);
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[8].size(), 21u);
  EXPECT_EQ(lines[13].size(), 49u);
  EXPECT_EQ(lines[14].size(), 49u);
}

TEST(Layouts, CpuTime4855) {
  EXPECT_EQ(render(kFormat4855, {12.345}), "\nCPU TIME IN SECONDS " + blanks(7) + "12.35\n");
  EXPECT_EQ(render(kFormat4855, {0.0}), "\nCPU TIME IN SECONDS " + blanks(8) + "0.00\n");
}

TEST(Layouts, PopulationValues3312) {
  EXPECT_EQ(lines_of(render(kFormat3312, {0.4, 0.2, 0.5})),
            (std::vector<std::string>{"", "Population values for SRA, SRI and AI:",
                                      "    SRA    SRI     AI", "  0.400  0.200  0.500"}));
}

TEST(Layouts, OverwriteQuestionOfTheDialogue) {
  const std::string name = "abc.txt" + blanks(7);  // a 7-character name in its 14 columns
  const std::string line = render(
      kFormatDialogue, {std::string_view(" File "), std::string_view(name),
                        std::string_view(" found - write over it"), std::string_view("  (y/n) ?")});
  EXPECT_EQ(line, " File abc.txt" + blanks(8) + "found - write over it  (y/n) ?\n");
  EXPECT_EQ(line.size(), 6u + 14u + 22u + 9u + 1u);
}

}  // namespace
}  // namespace tarven::console
