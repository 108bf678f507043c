#include "console/open_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/test_files.h"

namespace tarven::console {
namespace {

namespace fs = std::filesystem;

using testing_support::read_file;
using testing_support::write_file;

class Transcript final : public OutputUnit {
 public:
  void put(std::string_view text) override { text_ += text; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

constexpr std::string_view kQuestion = "  Filename to write output of the program? \n";

// The file-name question followed by `next`.
std::string question_then(std::string_view next) {
  std::string text(kQuestion);
  text.append(next);
  return text;
}

// File names of the dialogue are short and relative, so every test runs in a fresh directory.
class OpenReportTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::current_path(scratch_.path()); }
  void TearDown() override { fs::current_path(home_); }

  // Runs the dialogue on `answers`; returns iunit (starting from 0, as the driver sets it).
  int run(const std::string& answers) {
    TextLineSource input(answers);
    ListReader reader(input);
    int iunit = 0;
    open(iunit, report_, reader, console_);
    lines_read_ = input.lines_read();
    return iunit;
  }

  testing_support::ScratchDirectory scratch_{"open_report"};
  const fs::path home_ = fs::current_path();
  ReportUnit report_;
  Transcript console_;
  std::size_t lines_read_ = 0;
};

TEST_F(OpenReportTest, MissingFileIsCreatedWithoutAQuestion) {
  EXPECT_EQ(run("report.txt\nnext answer\n"), 1);
  EXPECT_EQ(console_.text(), kQuestion);
  EXPECT_EQ(lines_read_, 1u);  // the next line belongs to the problem dialogue
  EXPECT_EQ(report_.unit(), 1);
  report_.put("report\n");
  report_.close();
  EXPECT_EQ(read_file("report.txt"), "report\n");
}

TEST_F(OpenReportTest, QuestionShowsTheNamePaddedToFourteen) {
  write_file("old.txt", "old\n");
  EXPECT_EQ(run("old.txt\nn\n"), 0);
  // Seven characters of name, seven blanks of padding, then the text's own leading blank.
  EXPECT_EQ(console_.text(),
            question_then(" File old.txt        found - write over it  (y/n) ?\n"));
}

TEST_F(OpenReportTest, LongNameIsCutToFourteenCharacters) {
  EXPECT_EQ(run("abcdefghijklmnopqrstuvwxyz\n"), 1);
  EXPECT_EQ(report_.name(), "abcdefghijklmn");
  report_.close();
  EXPECT_TRUE(fs::exists("abcdefghijklmn"));
  EXPECT_FALSE(fs::exists("abcdefghijklmnopqrstuvwxyz"));
}

TEST_F(OpenReportTest, ExistenceCheckAndQuestionUseTheCutName) {
  write_file("abcdefghijklmn", "old\n");
  EXPECT_EQ(run("abcdefghijklmnopq\ny\n"), 1);
  EXPECT_EQ(console_.text(),
            question_then(" File abcdefghijklmn found - write over it  (y/n) ?\n"));
}

TEST_F(OpenReportTest, TrailingBlanksGoLeadingAndInnerBlanksStay) {
  EXPECT_EQ(run(" my report   \n"), 1);
  EXPECT_EQ(report_.name(), " my report");
  report_.close();
  EXPECT_TRUE(fs::exists(" my report"));
}

TEST_F(OpenReportTest, AnswersStartingWithYWriteOver) {
  for (const std::string answer : {"y", "Y", "yes", "Yes please"}) {
    SCOPED_TRACE(answer);
    const std::string old_report(300, 'x');
    write_file("old.txt", old_report);
    ReportUnit fresh;
    TextLineSource input("old.txt\n" + answer + "\n");
    ListReader reader(input);
    int iunit = 0;
    open(iunit, fresh, reader, console_);
    EXPECT_EQ(iunit, 1);
    EXPECT_EQ(read_file("old.txt"), old_report);  // not emptied before the report is written
    fresh.put("new\n");
    fresh.close();
    EXPECT_EQ(read_file("old.txt"), "new\n");
  }
}

TEST_F(OpenReportTest, OtherAnswersLeaveTheFileAndReportOnStandardError) {
  for (const std::string answer : {"n", "N", " y", "", "\tY", "x"}) {
    SCOPED_TRACE("answer '" + answer + "'");
    write_file("old.txt", "old report\n");
    ReportUnit fresh;
    TextLineSource input("old.txt\n" + answer + "\nnext answer\n");
    ListReader reader(input);
    int iunit = 0;
    open(iunit, fresh, reader, console_);
    EXPECT_EQ(iunit, 0);
    EXPECT_EQ(fresh.unit(), 0);
    EXPECT_EQ(input.lines_read(), 2u);  // asked once, never again
    fresh.close();
    EXPECT_EQ(read_file("old.txt"), "old report\n");
  }
}

// The four lines of the run-time I/O error report, as a pattern for a death test.
std::string error_report(std::string_view first, std::string_view state, std::string_view format,
                         std::string_view direction) {
  std::string text = std::string(first) + "\napparent state: " + std::string(state) +
                     "\nlast format: " + std::string(format) + "\nlately " +
                     std::string(direction) + " sequential formatted external IO\n";
  std::string pattern;
  for (char c : text) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

TEST_F(OpenReportTest, EndOfInputAtTheNameEndsTheRun) {
  EXPECT_EXIT(run(""), testing::KilledBySignal(SIGABRT),
              error_report("fmt: end of file", "unit 5 (unnamed)", "(a)", "reading"));
}

TEST_F(OpenReportTest, EndOfInputAtTheOverwriteAnswerEndsTheRun) {
  write_file("old.txt", "old report\n");
  EXPECT_EXIT(run("old.txt\n"), testing::KilledBySignal(SIGABRT),
              error_report("fmt: end of file", "unit 5 (unnamed)", "(a1)", "reading"));
  EXPECT_EQ(read_file("old.txt"), "old report\n");
}

TEST_F(OpenReportTest, UnopenableNamesEndTheRun) {
  EXPECT_EXIT(run("nodir/r.txt\n"), testing::KilledBySignal(SIGABRT),
              error_report("open: No such file or directory", "unit 1 named nodir/r.txt", "(a)",
                           "reading"));
  EXPECT_EXIT(run("    \n"), testing::KilledBySignal(SIGABRT),
              error_report("open: null file name", "unit 1 named ", "(a)", "reading"));
  EXPECT_EXIT(run("\n"), testing::KilledBySignal(SIGABRT), "open: null file name");
  fs::create_directory("folder");
  EXPECT_EXIT(run("folder\ny\n"), testing::KilledBySignal(SIGABRT),
              error_report("open: Is a directory", "unit 1 named folder", "(a1)", "reading"));
}

}  // namespace
}  // namespace tarven::console
