// Programs run from an argument vector: what they are given, what they say, how they end.

#include "plot/subprocess.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace tarven::plot {
namespace {

TEST(Subprocess, ArgumentsArriveVerbatimWithNoShellBetween) {
  const auto run = run_subprocess({"printf", "[%s]", "two words", "$(touch x)", "a;b", "*", ""});
  ASSERT_TRUE(run.succeeded()) << run.error << run.err;
  EXPECT_EQ(run.out, "[two words][$(touch x)][a;b][*][]");
}

TEST(Subprocess, StreamsAndExitStatusAreKeptApart) {
  const auto run = run_subprocess({"/bin/sh", "-c", "echo out; echo err >&2; exit 3"});
  EXPECT_TRUE(run.started);
  EXPECT_FALSE(run.succeeded());
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(run.out, "out\n");
  EXPECT_EQ(run.err, "err\n");
}

TEST(Subprocess, AMissingProgramIsReportedNotRun) {
  const auto run = run_subprocess({"tarven-no-such-program"});
  EXPECT_FALSE(run.started);
  EXPECT_NE(run.error.find("tarven-no-such-program"), std::string::npos) << run.error;
}

TEST(Subprocess, AProgramOverItsTimeIsKilledWithItsChildren) {
  const auto start = std::chrono::steady_clock::now();
  // The shell's child sleeps too and holds the pipes: killing the shell alone would not do.
  const auto run =
      run_subprocess({"/bin/sh", "-c", "sleep 20 & sleep 20"}, std::chrono::milliseconds(200));
  EXPECT_TRUE(run.timed_out);
  EXPECT_EQ(run.signal, SIGKILL);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(Subprocess, FindProgramSearchesEachDirectoryInTurn) {
  EXPECT_EQ(find_program("sh", "/nonexistent:/bin"), std::filesystem::path("/bin/sh"));
  EXPECT_FALSE(find_program("sh", "/nonexistent"));
  EXPECT_FALSE(find_program("sh", ""));  // the current directory, where no sh is
}

}  // namespace
}  // namespace tarven::plot
