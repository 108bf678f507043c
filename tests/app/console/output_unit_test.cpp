// The console and standard-error units, and write()'s hand-over of whole lines.

#include "console/output_unit.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace tarven::console {
namespace {

// Sends one file descriptor into a temporary file for the life of the object, then restores it.
class CapturedFd {
 public:
  explicit CapturedFd(int fd) : fd_(fd), file_(std::tmpfile()) {
    std::fflush(nullptr);
    saved_ = ::dup(fd_);
    ::dup2(::fileno(file_), fd_);
  }
  ~CapturedFd() {
    restore();
    std::fclose(file_);
  }
  // Everything written to the descriptor so far, without flushing any stdio buffer first: the
  // unit itself must have handed its text over.
  std::string text() {
    std::string out;
    char buf[256];
    ::lseek(::fileno(file_), 0, SEEK_SET);
    ssize_t n;
    while ((n = ::read(::fileno(file_), buf, sizeof buf)) > 0)
      out.append(buf, static_cast<std::size_t>(n));
    return out;
  }
  void restore() {
    if (saved_ < 0) return;
    std::fflush(nullptr);
    ::dup2(saved_, fd_);
    ::close(saved_);
    saved_ = -1;
  }

 private:
  int fd_;
  std::FILE* file_;
  int saved_ = -1;
};

TEST(ConsoleUnit, PutReachesStandardOutputAtOnce) {
  CapturedFd out(STDOUT_FILENO);
  console_unit().put(" Total number of applicants?\n");
  EXPECT_EQ(out.text(), " Total number of applicants?\n");
  write(console_unit(), "('ZMI ZMA ',2F12.6)", {1.0, 2.0});
  EXPECT_EQ(out.text(), " Total number of applicants?\nZMI ZMA     1.000000    2.000000\n");
}

TEST(ErrorUnit, PutReachesStandardErrorNotStandardOutput) {
  CapturedFd out(STDOUT_FILENO);
  CapturedFd err(STDERR_FILENO);
  write(error_unit(), "('PROGRAM OUTPUT')", {});
  const std::string err_text = err.text();
  const std::string out_text = out.text();
  err.restore();
  out.restore();
  EXPECT_EQ(err_text, "PROGRAM OUTPUT\n");
  EXPECT_EQ(out_text, "");
}

TEST(ConsoleUnit, AFailedWriteEndsTheRunWithTheIoErrorReport) {
  // A console line lost without a word would let a script take a broken run for a good one.
  EXPECT_EXIT(
      {
        ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO);
        write(console_unit(), "('ZMI ZMA ',2F12.6)", {1.0, 2.0});
      },
      testing::KilledBySignal(SIGABRT),
      "^write: No space left on device\napparent state: unit 6 \\(unnamed\\)\n"
      "last format: \\('ZMI ZMA ',2F12\\.6\\)\nlately writing sequential formatted external IO\n$");
}

class RecordingUnit final : public OutputUnit {
 public:
  void put(std::string_view text) override { puts.emplace_back(text); }
  std::vector<std::string> puts;
};

TEST(Write, HandsTheWholeRenderedTextOverInOnePut) {
  RecordingUnit unit;
  write(unit, "(/,'a',I2,/,'b')", {5});
  ASSERT_EQ(unit.puts.size(), 1u);
  EXPECT_EQ(unit.puts[0], "\na 5\nb\n");
  write(unit, "(I3)", {});
  ASSERT_EQ(unit.puts.size(), 2u);
  EXPECT_EQ(unit.puts[1], "\n");
}

}  // namespace
}  // namespace tarven::console
