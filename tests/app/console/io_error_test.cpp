#include "console/io_error.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace tarven::console {
namespace {

TEST(IoErrorFormat, ConsoleReadFailures) {
  struct Case {
    ReadError error;
    std::string_view format;
    std::string expected;
  };
  const Case cases[] = {
      {{"invalid integer", "read unexpected character"},
       kListFormat,
       "invalid integer: read unexpected character\n"
       "apparent state: unit 5 (unnamed)\n"
       "last format: list io\n"
       "lately reading sequential formatted external IO\n"},
      {{"list in", "end of file"},
       kListFormat,
       "list in: end of file\n"
       "apparent state: unit 5 (unnamed)\n"
       "last format: list io\n"
       "lately reading sequential formatted external IO\n"},
      {{"fmt", "end of file"},
       "(a)",
       "fmt: end of file\n"
       "apparent state: unit 5 (unnamed)\n"
       "last format: (a)\n"
       "lately reading sequential formatted external IO\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_io_error(c.error, UnitState{5, ""}, c.format, false), c.expected);
  }
}

TEST(IoErrorFormat, NamedReportFileAndWriting) {
  EXPECT_EQ(format_io_error({"write", "No space left on device"}, UnitState{1, "report 1.txt"},
                            "(1x,a)", true),
            "write: No space left on device\n"
            "apparent state: unit 1 named report 1.txt\n"
            "last format: (1x,a)\n"
            "lately writing sequential formatted external IO\n");
  EXPECT_EQ(format_io_error({"open", "null file name"}, UnitState{1, ""}, kListFormat, false),
            "open: null file name\n"
            "apparent state: unit 1 named \n"
            "last format: list io\n"
            "lately reading sequential formatted external IO\n");
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void close_report() {
  std::fputs("report closed\n", stderr);
}

// In a child: console output still in stdout's buffer, then the stop. The parent sees what
// reached both streams and how the child ended.
TEST(IoErrorStop, FlushesConsoleWritesReportClosesAndAborts) {
  char out_path[] = "/tmp/tarven_out_XXXXXX";
  char err_path[] = "/tmp/tarven_err_XXXXXX";
  const int out_fd = mkstemp(out_path);
  const int err_fd = mkstemp(err_path);
  ASSERT_GE(out_fd, 0);
  ASSERT_GE(err_fd, 0);
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(out_fd, STDOUT_FILENO);
    dup2(err_fd, STDERR_FILENO);
    static char buffer[4096];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    std::fputs(" Total number of applicants?\n", stdout);
    set_report_closer(close_report);
    io_error_stop({"invalid integer", "read unexpected character"}, UnitState{5, ""}, kListFormat,
                  false);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << "status " << status;
  EXPECT_EQ(slurp(out_path), " Total number of applicants?\n");
  EXPECT_EQ(slurp(err_path),
            "invalid integer: read unexpected character\n"
            "apparent state: unit 5 (unnamed)\n"
            "last format: list io\n"
            "lately reading sequential formatted external IO\n"
            "report closed\n");
  close(out_fd);
  close(err_fd);
  unlink(out_path);
  unlink(err_path);
}

// A closer whose flush fails reports that failure through the same stop.
void failing_close() {
  io_error_stop({"close", "Input/output error"}, UnitState{1, "out.txt"}, "(a)", true);
}

TEST(IoErrorStop, FailingCloserIsNotReentered) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  set_report_closer(failing_close);
  EXPECT_EXIT(io_error_stop({"list in", "end of file"}, UnitState{5, ""}, kListFormat, false),
              ::testing::KilledBySignal(SIGABRT),
              "^list in: end of file\napparent state: unit 5 \\(unnamed\\)\n"
              "last format: list io\nlately reading sequential formatted external IO\n"
              "close: Input/output error\napparent state: unit 1 named out.txt\n"
              "last format: \\(a\\)\nlately writing sequential formatted external IO\n$");
  set_report_closer(nullptr);
}

}  // namespace
}  // namespace tarven::console
