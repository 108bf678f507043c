// The console dialogue of the built program: answers, refusals, the overwrite question, the exit
// question and the run-time I/O error report.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

#include "tests/e2e/program_runner.h"

namespace tarven::e2e {
namespace {

// The smallest problem with one pair: the run is quick.
const char* const kProblem = "2\n1\n1\n0.5\n0.3 0.6\n";

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(Dialogue, PromptsInOrderWithOneLeadingBlank) {
  const ProgramRun run = run_program(std::string("r.txt\n") + kProblem + "y\n");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::vector<std::string> lines = lines_of(run.out);
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[0], "  Filename to write output of the program? ");
  EXPECT_EQ(lines[1], " Total number of applicants?");
  EXPECT_EQ(lines[2], " Number of applicants from the majority group?");
  EXPECT_EQ(lines[3], " Required number of new employees?");
  EXPECT_EQ(lines[4], " Effect size predictor composite?");
  EXPECT_EQ(lines[5], " Correlation predictor--recruitment practice");
  EXPECT_EQ(lines[6], " and retention rate recruitment practice?");
  EXPECT_TRUE(lines[7].starts_with("ZMI ZMA ")) << lines[7];
  EXPECT_TRUE(lines[8].starts_with("ZMI ZMA ")) << lines[8];
  EXPECT_EQ(lines.back(), " Ready to exit (Answer with y or n)?");
}

TEST(Dialogue, GroupMeansFollowTheLastAnswer) {
  // es 1, rho 0.5, retention 0.5: the closed-form means are 0.398942 and 1.254580, and the
  // integrated ones agree to the printed digits.
  const ProgramRun run = run_program("r.txt\n2\n1\n1\n1\n0.5 0.5\ny\n");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(contains(run.out,
                       "\nZMI ZMA     0.398942    1.254580\nZMI ZMA     0.398942    "
                       "1.254580\n"))
      << run.out;
}

TEST(Dialogue, SeveralAnswersOnOneLineGiveTheSameRun) {
  const ProgramRun one_per_line = run_program(std::string("r.txt\n") + kProblem + "y\n");
  const ProgramRun packed = run_program("r.txt\n2\n1\n1\n0.5\n0.3,0.6\ny\n");
  const ProgramRun split = run_program("r.txt\n2\n1\n1\n0.5\n0.3\n0.6\ny\n");
  ASSERT_EQ(one_per_line.exit_code, 0);
  ASSERT_EQ(packed.exit_code, 0);
  ASSERT_EQ(split.exit_code, 0);
  EXPECT_EQ(packed.out, one_per_line.out);
  EXPECT_EQ(split.out, one_per_line.out);
}

TEST(Dialogue, ExtraValuesOnAnAnswerLineAreDiscarded) {
  // "2 5" at the first prompt: 2 applicants, the 5 is lost with the rest of the line.
  const ProgramRun run = run_program("r.txt\n2 5\n1\n1\n0.5\n0.3 0.6\ny\n");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(contains(run.file("r.txt"), "Total number of applicants:      2\n"));
}

TEST(Dialogue, ExitQuestionRepeatsUntilLowerCaseY) {
  const ProgramRun run = run_program(std::string("r.txt\n") + kProblem + "Y\nn\n\n'Y'\nyes\n");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(count_of(run.out, "Ready to exit (Answer with y or n)?"), 4u);
}

TEST(Dialogue, OutOfRangeAnswersAreAskedAgain) {
  const ProgramRun run =
      run_program("r.txt\n1\n3000000000\n2\n0\n2\n1\n3\n1\n1e999\n0.5\n1 0.5\n0.3 0\n0.3 0.6\ny\n");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(count_of(run.out, " Total number of applicants?\n"), 3u);
  EXPECT_EQ(count_of(run.out, " Number of applicants from the majority group?\n"), 3u);
  EXPECT_EQ(count_of(run.out, " Required number of new employees?\n"), 2u);
  EXPECT_EQ(count_of(run.out, " Effect size predictor composite?\n"), 2u);
  EXPECT_EQ(count_of(run.out, " and retention rate recruitment practice?\n"), 3u);
  // The accepted answers make the same report as a run without refusals.
  const ProgramRun clean = run_program(std::string("r.txt\n") + kProblem + "y\n");
  const auto body = [](const std::string& report) { return report.substr(report.find('\n')); };
  const std::string a = run.file("r.txt"), b = clean.file("r.txt");
  EXPECT_EQ(body(a.substr(0, a.find("CPU TIME"))), body(b.substr(0, b.find("CPU TIME"))));
}

TEST(Dialogue, AnswersBeyondWhatCanBeComputedAreAskedAgainAndTheLimitsAccepted) {
  const ProgramRun run = run_program(
      "r.txt\n1000001\n1000000\n999999\n1\n10.5\n-10.5\n10\n"
      "0.9995 0.5\n0.5 0.0000009\n0.5 0.9999991\n-0.9995 0.0000001\n0.999 0.000001\ny\n");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(count_of(run.out, " The total number of applicants must be from 2 to 1000000.\n"), 1u);
  EXPECT_EQ(count_of(run.out, " The effect size must lie between -10 and 10.\n"), 2u);
  EXPECT_EQ(count_of(run.out, " The correlation must lie between -0.999 and 0.999.\n"), 2u);
  EXPECT_EQ(count_of(run.out, " The retention rate must lie between 0.000001 and 0.999999.\n"), 3u);
  EXPECT_EQ(count_of(run.out, " Total number of applicants?\n"), 2u);
  EXPECT_EQ(count_of(run.out, " Effect size predictor composite?\n"), 3u);
  EXPECT_EQ(count_of(run.out, " and retention rate recruitment practice?\n"), 5u);
  // The largest count fills its field of the report.
  EXPECT_TRUE(contains(run.file("r.txt"), "\nTotal number of applicants:1000000\n"));

  const ProgramRun lower = run_program("r.txt\n2\n1\n1\n-10\n-0.999 0.999999\ny\n");
  ASSERT_EQ(lower.exit_code, 0) << lower.err;
  EXPECT_EQ(count_of(lower.out, " and retention rate recruitment practice?\n"), 1u);
}

TEST(Dialogue, PreScreeningThatRetainsNoMajorityApplicantIsAskedAgain) {
  // es -10 puts the majority far below a cutoff that retains a millionth of the minority.
  const ProgramRun run = run_program("r.txt\n2\n1\n1\n-10\n0.999 0.000001\n-0.3 0.6\ny\n");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "no majority applicant")) << run.out;
  EXPECT_EQ(count_of(run.out, " and retention rate recruitment practice?\n"), 2u);
}

TEST(Dialogue, DecimalPointInACountEndsTheRunWithTheIoErrorReport) {
  const ProgramRun run = run_program("r.txt\n12.5\n");
  EXPECT_EQ(run.signal, SIGABRT);
  EXPECT_EQ(run.err,
            "invalid integer: read unexpected character\n"
            "apparent state: unit 5 (unnamed)\n"
            "last format: list io\n"
            "lately reading sequential formatted external IO\n");
}

TEST(Dialogue, EndOfInputEndsTheRunWithTheIoErrorReport) {
  const ProgramRun at_name = run_program("");
  EXPECT_EQ(at_name.signal, SIGABRT);
  EXPECT_TRUE(
      at_name.err.starts_with("fmt: end of file\napparent state: unit 5 (unnamed)\n"
                              "last format: (a)\n"))
      << at_name.err;

  const ProgramRun at_problem = run_program("r.txt\n10\n");
  EXPECT_EQ(at_problem.signal, SIGABRT);
  EXPECT_TRUE(at_problem.err.starts_with("list in: end of file\n")) << at_problem.err;
}

TEST(ReportFile, OverwriteQuestionAnsweredYesWritesOverALongerFile) {
  const std::string old_content(5000, '~');
  for (const char* yes : {"y\n", "Y\n", "yes\n"}) {
    const ProgramRun run =
        run_program(std::string("old.txt\n") + yes + kProblem + "y\n", {{"old.txt", old_content}});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(contains(run.out, " File old.txt        found - write over it  (y/n) ?\n"));
    const std::string report = run.file("old.txt");
    EXPECT_TRUE(report.starts_with("Program execution starts on")) << yes;
    EXPECT_FALSE(contains(report, "~")) << "old content left behind";
  }
}

TEST(ReportFile, RefusalSendsTheReportToStandardError) {
  for (const char* no : {"n\n", "N\n", "\n", " y\n"}) {
    const ProgramRun run =
        run_program(std::string("keep.txt\n") + no + kProblem + "y\n", {{"keep.txt", "precious"}});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.file("keep.txt"), "precious");
    EXPECT_TRUE(contains(run.err, "PROBLEM SPECIFICATION")) << no;
    EXPECT_TRUE(contains(run.err, "CPU TIME IN SECONDS")) << no;
  }
}

TEST(ReportFile, LongNameIsCutToFourteenCharacters) {
  const ProgramRun run =
      run_program(std::string("abcdefghijklmnopqrstuvwxyz\n") + kProblem + "y\n");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(contains(run.file("abcdefghijklmn"), "PROBLEM SPECIFICATION"));
}

TEST(ReportFile, ReportThatCannotBeWrittenEndsTheRunAbnormally) {
  const ProgramRun run = run_program(std::string("/dev/full\ny\n") + kProblem + "y\n");
  EXPECT_EQ(run.signal, SIGABRT);
  EXPECT_TRUE(contains(run.err, "No space left on device")) << run.err;
  EXPECT_TRUE(contains(run.err, "apparent state: unit 1 named /dev/full\n")) << run.err;
  EXPECT_TRUE(contains(run.err, "lately writing sequential formatted external IO\n")) << run.err;
}

TEST(ReportFile, DirectoryThatDoesNotExistFailsAtOpen) {
  const ProgramRun run = run_program(std::string("nodir/r.txt\n") + kProblem + "y\n");
  EXPECT_EQ(run.signal, SIGABRT);
  EXPECT_TRUE(run.err.starts_with("open: No such file or directory\n")) << run.err;
}

}  // namespace
}  // namespace tarven::e2e
