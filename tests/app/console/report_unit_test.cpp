#include "console/report_unit.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "console/formats.h"
#include "console/io_error.h"
#include "tests/as_other_user.h"
#include "tests/test_files.h"

namespace tarven::console {
namespace {

namespace fs = std::filesystem;

using testing_support::become_ordinary_user;
using testing_support::in_child;
using testing_support::read_file;
using testing_support::write_file;

// Matches `text` literally inside a death test's standard error.
std::string literal(std::string_view text) {
  std::string pattern;
  for (char c : text) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

std::string write_error_report(std::string_view reason, std::string_view name,
                               std::string_view format) {
  return literal("write: " + std::string(reason) + "\napparent state: unit 1 named " +
                 std::string(name) + "\nlast format: " + std::string(format) +
                 "\nlately writing sequential formatted external IO\n");
}

class ReportUnitTest : public ::testing::Test {
 protected:
  testing_support::ScratchDirectory scratch_{"report_unit"};
  const fs::path& dir_ = scratch_.path();
};

TEST_F(ReportUnitTest, StaysOnStandardErrorUntilConnected) {
  ReportUnit report;
  EXPECT_EQ(report.unit(), 0);
  testing::internal::CaptureStderr();
  report.write(kFormat456, {});
  report.close();  // standard error stays open for the rest of the process
  report.put(" after close\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), render(kFormat456, {}) + " after close\n");
}

TEST_F(ReportUnitTest, MissingFileIsCreated) {
  const fs::path path = dir_ / "new.txt";
  ReportUnit report;
  ASSERT_EQ(report.connect(path.string()), std::nullopt);
  EXPECT_EQ(report.unit(), 1);
  EXPECT_EQ(report.name(), path.string());
  report.put("first\nsecond\n");
  EXPECT_EQ(report.written(), 13u);
  report.close();
  EXPECT_EQ(report.unit(), 0);
  EXPECT_EQ(read_file(path), "first\nsecond\n");
}

TEST_F(ReportUnitTest, ExistingFileIsReusedAndCutToThisRun) {
  const fs::path path = dir_ / "old.txt";
  const std::string old_report(5000, 'x');
  write_file(path, old_report);
  ReportUnit report;
  ASSERT_EQ(report.connect(path.string()), std::nullopt);
  // Connecting alone must not lose the old report: a run that ends before writing would
  // otherwise have destroyed it for nothing.
  EXPECT_EQ(read_file(path), old_report);
  report.put("new report\n");
  report.close();
  EXPECT_EQ(read_file(path), "new report\n");
}

TEST_F(ReportUnitTest, CloseWithoutWritingLeavesAnEmptyFile) {
  const fs::path path = dir_ / "old.txt";
  write_file(path, "old report\n");
  ReportUnit report;
  ASSERT_EQ(report.connect(path.string()), std::nullopt);
  report.close();
  report.close();  // the stop may come twice (stop hook, then the normal stop)
  EXPECT_EQ(read_file(path), "");
}

TEST_F(ReportUnitTest, ActiveUnitIsClosedForTheLibraryStop) {
  const fs::path path = dir_ / "old.txt";
  write_file(path, std::string(100, 'x'));
  ReportUnit report;
  ASSERT_EQ(report.connect(path.string()), std::nullopt);
  report.put("line\n");
  ReportUnit::close_active();
  EXPECT_EQ(report.unit(), 0);
  EXPECT_EQ(read_file(path), "line\n");
}

TEST_F(ReportUnitTest, DevicesAreNotCut) {
  ReportUnit report;
  ASSERT_EQ(report.connect("/dev/null"), std::nullopt);
  report.put("discarded\n");
  report.close();  // ftruncate would refuse a character device; a failed close would abort
  EXPECT_EQ(report.unit(), 0);
}

TEST_F(ReportUnitTest, OpenErrorsCarryTheSystemText) {
  ReportUnit report;
  EXPECT_EQ(report.connect(""), (ReadError{"open", "null file name"}));
  EXPECT_EQ(report.connect((dir_ / "missing" / "r.txt").string()),
            (ReadError{"open", "No such file or directory"}));
  EXPECT_EQ(report.connect(dir_.string()), (ReadError{"open", "Is a directory"}));
  EXPECT_EQ(report.connect(std::string("a\0b", 3)), (ReadError{"open", "Invalid argument"}));
  EXPECT_EQ(report.unit(), 0);
}

TEST_F(ReportUnitTest, FullDeviceEndsTheRunAtTheFailedWrite) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  EXPECT_EXIT(
      {
        ReportUnit report;
        if (report.connect("/dev/full")) std::_Exit(3);
        report.write(kFormat3488, {7, 12, 2026, 9, 5, 3});
      },
      testing::KilledBySignal(SIGABRT),
      write_error_report("No space left on device", "/dev/full", kFormat3488));
}

TEST_F(ReportUnitTest, UnwritableStandardErrorStillEndsTheRunAbnormally) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  EXPECT_EXIT(
      {
        ::dup2(::open("/dev/full", O_WRONLY), STDERR_FILENO);
        ReportUnit report;
        report.put("report on standard error\n");
        std::_Exit(0);
      },
      testing::KilledBySignal(SIGABRT), "");
}

// The names in `dir`, to see that no temporary file was left beside the report.
std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  return names;
}

TEST_F(ReportUnitTest, ErrorReportLeavesTheOldFileWholeBeforeTheAbort) {
  const fs::path path = dir_ / "old.txt";
  const std::string old_report(1000, 'x');
  write_file(path, old_report);
  EXPECT_EXIT(
      {
        ReportUnit report;
        if (report.connect(path.string())) std::_Exit(3);
        report.put("partial report\n");
        io_error_stop({"fmt", "end of file"}, {5, ""}, kFormatA1, false);
      },
      testing::KilledBySignal(SIGABRT), "fmt: end of file");
  EXPECT_EQ(read_file(path), old_report);
  EXPECT_EQ(names_in(dir_), std::vector<std::string>{"old.txt"});
}

TEST_F(ReportUnitTest, ReadOnlyFileIsConnectedAndFailsAtTheFirstWrite) {
  const fs::path path = dir_ / "locked.txt";
  write_file(path, "old report\n");
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // The directory would take a replacement from anyone: the file's own mode must still decide.
  fs::permissions(dir_, fs::perms::all);
  const bool read_only = in_child([&] {
    if (!become_ordinary_user()) return false;
    const int fd = ::open(path.c_str(), O_WRONLY);
    return fd < 0 && errno == EACCES && ::access(path.c_str(), R_OK) == 0;
  });
  if (!read_only) GTEST_SKIP() << "cannot make a file read-only for this process";

  EXPECT_EXIT(
      {
        if (!become_ordinary_user()) std::_Exit(3);
        ReportUnit report;
        if (report.connect(path.string())) std::_Exit(4);
        if (report.unit() != 1) std::_Exit(5);
        report.write(kFormat5002, {10, 7, 3, 4, 0.5, 0.3, 0.6, -0.253});
      },
      testing::KilledBySignal(SIGABRT),
      write_error_report("Permission denied", path.string(), kFormat5002));
  EXPECT_EQ(read_file(path), "old report\n");
  EXPECT_EQ(names_in(dir_), std::vector<std::string>{"locked.txt"});
}

}  // namespace
}  // namespace tarven::console
