// What becomes of an existing report, and of the report being written, when a run does not go as
// planned: the input ends, a signal comes, two runs name the same file, a standard stream is
// closed.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "tests/e2e/program_runner.h"

namespace tarven::e2e {
namespace {

namespace fs = std::filesystem;

const std::string kOldReport = "an old report\n" + std::string(5000, '~') + "\n";
const std::string kTypical = "10\n7\n4\n0.5\n0.3 0.6\n";
const std::string kSmall = "2\n1\n1\n0.5\n0.3 0.6\n";

// The files of a run's directory, leaving out the runner's own (.answers, .stdout, .stderr...).
std::vector<std::string> files_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename();
    if (!name.starts_with(".answers") && !name.starts_with(".stdout") &&
        !name.starts_with(".stderr"))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A report without what changes from run to run (its start line and its processor time).
std::string stable_part(const std::string& report) {
  const std::size_t from = report.find('\n');
  const std::size_t to = report.rfind("\nCPU TIME IN SECONDS ");
  if (from == std::string::npos || to == std::string::npos || to < from)
    return "not a complete report: " + report;
  return report.substr(from, to - from);
}

TEST(ExistingReport, SurvivesTheEndOfInputAndAnUnreadableAnswerAfterYes) {
  for (const std::string rest : {"", "10\n7\nfour\n"}) {
    const ProgramRun run = run_program("old.txt\ny\n" + rest, {{"old.txt", kOldReport}});
    EXPECT_EQ(run.signal, SIGABRT) << run.err;
    EXPECT_EQ(run.file("old.txt"), kOldReport);
    EXPECT_EQ(files_in(run.dir), std::vector<std::string>{"old.txt"});
  }
}

TEST(ExistingReport, SurvivesSigintAndSigtermDuringTheRun) {
  for (const int signal_number : {SIGINT, SIGTERM}) {
    LiveProgram program({{"old.txt", kOldReport}});
    program.answer("old.txt\ny\n" + kTypical);
    ASSERT_TRUE(program.wait_for("\n               1      4      3"));  // the first pair line
    EXPECT_EQ(files_in(program.dir()).size(), 2u);  // the new report beside the old one
    program.signal(signal_number);
    const ProgramRun run = program.finish();
    EXPECT_EQ(run.exit_code, 128 + signal_number) << run.err;
    EXPECT_EQ(run.file("old.txt"), kOldReport);
    EXPECT_EQ(files_in(run.dir), std::vector<std::string>{"old.txt"});
  }
}

TEST(ExistingReport, ALinkIsReplacedThroughToItsTarget) {
  const ProgramRun run = run_program("link.txt\ny\n" + kSmall + "y\n", {{"real.txt", kOldReport}},
                                     "ln -s real.txt link.txt");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(run.dir / "link.txt"));
  const ProgramRun alone = run_program("r.txt\n" + kSmall + "y\n");
  EXPECT_EQ(stable_part(run.file("real.txt")), stable_part(alone.file("r.txt")));
  EXPECT_EQ(files_in(run.dir), (std::vector<std::string>{"link.txt", "real.txt"}));
}

TEST(FinishedReport, IsInPlaceBeforeTheExitQuestionSoTheEndOfInputThereKeepsIt) {
  // An answers file without its final y: the run still ends with the I/O error report, but the
  // report it had finished replaces the old file.
  const ProgramRun run = run_program("old.txt\ny\n" + kSmall, {{"old.txt", kOldReport}});
  EXPECT_EQ(run.signal, SIGABRT);
  EXPECT_TRUE(run.err.starts_with("list in: end of file\n")) << run.err;
  EXPECT_TRUE(run.out.ends_with(" Ready to exit (Answer with y or n)?\n"));
  const ProgramRun whole = run_program("r.txt\n" + kSmall + "y\n");
  EXPECT_EQ(stable_part(run.file("old.txt")), stable_part(whole.file("r.txt")));
  EXPECT_EQ(files_in(run.dir), std::vector<std::string>{"old.txt"});
}

TEST(ConcurrentRuns, OneFileNameEndsAsOneOfTheTwoCompleteReports) {
  LiveProgram first;
  LiveProgram second({}, first.dir());
  first.answer("r.txt\n" + kTypical);
  second.answer("r.txt\n" + kSmall);
  // Both have written their whole report before either ends.
  ASSERT_TRUE(first.wait_for("Ready to exit"));
  ASSERT_TRUE(second.wait_for("Ready to exit"));
  first.answer("y\n");
  second.answer("y\n");
  const ProgramRun a = first.finish();
  const ProgramRun b = second.finish();
  ASSERT_EQ(a.exit_code, 0) << a.err;
  ASSERT_EQ(b.exit_code, 0) << b.err;

  const std::string report = stable_part(a.file("r.txt"));
  const std::string typical = stable_part(run_program("r.txt\n" + kTypical + "y\n").file("r.txt"));
  const std::string small = stable_part(run_program("r.txt\n" + kSmall + "y\n").file("r.txt"));
  EXPECT_TRUE(report == typical || report == small) << report;
  EXPECT_EQ(files_in(a.dir), std::vector<std::string>{"r.txt"});
}

TEST(StandardStreams, StartedWithOneClosedTheReportHoldsOnlyTheReport) {
  // This problem's integrations fill the console with diagnostics and standard error with the
  // numerical library's messages.
  const std::string answers = "r.txt\n4\n2\n2\n-3\n0.9 0.02\ny\n";
  const ProgramRun open = run_program(answers);
  ASSERT_EQ(open.exit_code, 0) << open.err;
  ASSERT_NE(open.err.find("numerical library message"), std::string::npos);
  for (const char* closed : {">&-", "2>&-"}) {
    const ProgramRun run = run_program(answers, {}, "", closed);
    EXPECT_EQ(run.exit_code, 0) << closed;
    EXPECT_EQ(stable_part(run.file("r.txt")), stable_part(open.file("r.txt"))) << closed;
  }
}

}  // namespace
}  // namespace tarven::e2e
