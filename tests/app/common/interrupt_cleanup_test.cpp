#include "common/interrupt_cleanup.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "common/replacing_file.h"
#include "tests/test_files.h"

namespace tarven::common {
namespace {

namespace fs = std::filesystem;

// Runs `body` in a child process; returns its wait status.
template <typename Body>
int status_of_child(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    body();
    std::_Exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST(InterruptCleanup, EachSignalRemovesTheTemporaryFileAndExitsWith128PlusItsNumber) {
  const testing_support::ScratchDirectory scratch("interrupt_cleanup");
  const fs::path& dir = scratch.path();
  const std::string target = scratch("report.txt");
  testing_support::write_file(target, "old report\n");
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    const int status = status_of_child([&] {
      install_interrupt_cleanup();
      ReplacingFile file;
      if (file.open(target) != 0 || file.write("half of a new one") != 0) std::_Exit(3);
      ::raise(signal_number);
    });
    ASSERT_TRUE(WIFEXITED(status)) << signal_number;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    EXPECT_EQ(testing_support::read_file(target), "old report\n");
  }
}

TEST(InterruptCleanup, ASignalIgnoredAtStartStaysIgnored) {
  // As under nohup: the run must survive the terminal's hang-up.
  const int status = status_of_child([] {
    std::signal(SIGHUP, SIG_IGN);
    install_interrupt_cleanup();
    ::raise(SIGHUP);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace tarven::common
