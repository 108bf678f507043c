#include "numlib/error_handler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tarven::numlib {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

bool g_hook_called = false;
void note_hook() {
  g_hook_called = true;
}

TEST(ErrorHandler, WarningsArePrintedAtMostTenTimesPerDistinctMessageAndReturn) {
  reset_message_counts();
  g_hook_called = false;
  set_stop_hook(note_hook);
  CaptureStderr();
  for (int ier = 0; ier <= 5; ++ier) report_abnormal_return("DQAGI", ier);  // 0: normal return
  for (int i = 0; i < 12; ++i) report_abnormal_return("DQAG", 1);
  std::string err = GetCapturedStderr();
  set_stop_hook(nullptr);
  EXPECT_FALSE(g_hook_called);
  EXPECT_EQ(count_of(err, "ABNORMAL RETURN"), 15);
  EXPECT_EQ(count_of(err, "routine DQAGI\n"), 5);
  EXPECT_EQ(count_of(err, "routine DQAG\n"), 10);
  EXPECT_EQ(count_of(err, "ERROR NUMBER = 1\n"), 11);
  for (int ier = 2; ier <= 5; ++ier) {
    EXPECT_EQ(count_of(err, "ERROR NUMBER = " + std::to_string(ier) + "\n"), 1) << ier;
  }

  reset_message_counts();
  CaptureStderr();
  report_abnormal_return("DQAG", 1);
  EXPECT_EQ(count_of(GetCapturedStderr(), "ABNORMAL RETURN"), 1);
}

// Messages from several threads are counted together and never interleave: every message is one
// block that starts with its header and ends with its end line.
TEST(ErrorHandler, ConcurrentReportsStayWholeAndShareTheCount) {
  reset_message_counts();
  CaptureStderr();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 5; ++i) report_abnormal_return(t % 2 == 0 ? "DQAG" : "DQAGI", 3);
    });
  }
  for (auto& th : threads) th.join();
  std::string err = GetCapturedStderr();
  EXPECT_EQ(count_of(err, "ABNORMAL RETURN"), 20);

  std::istringstream lines(err);
  std::string line;
  std::vector<std::string> block;
  int blocks = 0;
  while (std::getline(lines, line)) {
    block.push_back(line);
    if (line.find("end of message") == std::string::npos) continue;
    ASSERT_EQ(block.size(), 5u) << err;
    EXPECT_NE(block[0].find("routine DQAG"), std::string::npos);
    EXPECT_NE(block[2].find("ABNORMAL RETURN"), std::string::npos);
    EXPECT_NE(block[3].find("ERROR NUMBER = 3"), std::string::npos);
    block.clear();
    ++blocks;
  }
  EXPECT_TRUE(block.empty());
  EXPECT_EQ(blocks, 20);
}

void announce_hook() {
  std::fputs("stop hook ran\n", stderr);
  std::fflush(stderr);
}

TEST(ErrorHandlerDeathTest, RecoverableErrorPrintsSummaryRunsHookThenExitsWithOne) {
  auto run = [] {
    reset_message_counts();
    set_stop_hook(announce_hook);
    for (int i = 0; i < 12; ++i) report_abnormal_return("DQAGI", 1);
    report_abnormal_return("DQAG", 6);
    std::fputs("run continued\n", stderr);
  };
  // The summary still counts the two silent warnings; the hook runs last, and the run never
  // continues.
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "DQAG\n.*ABNORMAL RETURN.*ERROR NUMBER = 6.*summary.*DQAGI +1 +WARNING +12 +ABNORMAL "
              "RETURN.*DQAG +6 +RECOVERABLE +1.*stop hook ran\n$");
}

TEST(ErrorHandlerDeathTest, FatalErrorPrintsItsTextAndStopsLikewise) {
  auto run = [] {
    set_stop_hook(announce_hook);
    fatal_error("DLBETA", "SOME TEXT", 1);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "DLBETA.*SOME TEXT.*ERROR NUMBER = 1.*summary.*stop hook ran\n$");
}

}  // namespace
}  // namespace tarven::numlib
