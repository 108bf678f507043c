#include "common/replacing_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/as_other_user.h"
#include "tests/test_files.h"

namespace tarven::common {
namespace {

namespace fs = std::filesystem;
using testing_support::become_ordinary_user;
using testing_support::in_child;
using testing_support::read_file;
using testing_support::write_file;
using Mode = ReplacingFile::Mode;

class ReplacingFileTest : public ::testing::Test {
 protected:
  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir_)) found.push_back(entry.path().filename());
    std::sort(found.begin(), found.end());
    return found;
  }
  std::string path(const char* name) const { return scratch_(name); }
  testing_support::ScratchDirectory scratch_{"replacing_file"};
  const fs::path& dir_ = scratch_.path();
};

TEST_F(ReplacingFileTest, TargetChangesOnlyAtCommitAndKeepsItsPermissions) {
  write_file(path("old.txt"), std::string(5000, 'x'));
  ::chmod(path("old.txt").c_str(), 0640);
  ReplacingFile file;
  ASSERT_EQ(file.open(path("old.txt")), 0);
  EXPECT_EQ(file.mode(), Mode::kReplacing);
  ASSERT_EQ(file.write("new\n"), 0);
  EXPECT_EQ(read_file(path("old.txt")), std::string(5000, 'x'));
  EXPECT_EQ(names().size(), 2u);  // the temporary file beside it
  ASSERT_EQ(file.commit(), 0);
  EXPECT_EQ(read_file(path("old.txt")), "new\n");
  struct stat st {};
  ASSERT_EQ(::stat(path("old.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(names(), std::vector<std::string>{"old.txt"});
}

TEST_F(ReplacingFileTest, NewFileGetsWhatCreatingItWouldHaveGiven) {
  const int direct = ::open(path("direct").c_str(), O_WRONLY | O_CREAT, 0666);
  ASSERT_GE(direct, 0);
  ::close(direct);
  ReplacingFile file;
  ASSERT_EQ(file.open(path("new.txt")), 0);
  EXPECT_FALSE(fs::exists(path("new.txt")));
  ASSERT_EQ(file.commit(), 0);
  EXPECT_EQ(fs::status(path("new.txt")).permissions(), fs::status(path("direct")).permissions());
  EXPECT_EQ(read_file(path("new.txt")), "");
}

TEST_F(ReplacingFileTest, DiscardLeavesTheTargetAndNoTemporaryFile) {
  write_file(path("old.txt"), "old\n");
  {
    ReplacingFile file;
    ASSERT_EQ(file.open(path("old.txt")), 0);
    ASSERT_EQ(file.write("half a rep"), 0);
    file.discard();
    ASSERT_EQ(file.open(path("gone.txt")), 0);
  }  // destroyed while open: discarded too
  EXPECT_EQ(read_file(path("old.txt")), "old\n");
  EXPECT_EQ(names(), std::vector<std::string>{"old.txt"});
}

TEST_F(ReplacingFileTest, SymbolicLinksAreFollowedToTheFileTheyName) {
  fs::create_directory(dir_ / "sub");
  write_file(path("sub/real.txt"), "old\n");
  fs::create_symlink("real.txt", dir_ / "sub" / "hop");  // relative to the link's own directory
  fs::create_symlink("sub/hop", dir_ / "link");
  fs::create_symlink("missing.txt", dir_ / "dangling");
  for (const char* name : {"link", "dangling"}) {
    ReplacingFile file;
    ASSERT_EQ(file.open(path(name)), 0) << name;
    ASSERT_EQ(file.write(std::string(name) + "\n"), 0);
    ASSERT_EQ(file.commit(), 0);
  }
  EXPECT_TRUE(fs::is_symlink(dir_ / "link"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "sub" / "hop"));
  EXPECT_EQ(read_file(path("sub/real.txt")), "link\n");
  EXPECT_TRUE(fs::is_symlink(dir_ / "dangling"));
  EXPECT_EQ(read_file(path("missing.txt")), "dangling\n");
}

TEST_F(ReplacingFileTest, PermissionsOfTheFileAndItsDirectoryDecideAsForAnyUser) {
  write_file(path("locked.txt"), "locked\n");
  write_file(path("open.txt"), "an old report, longer than the new one\n");
  ::chmod(path("locked.txt").c_str(), 0444);
  ::chmod(path("open.txt").c_str(), 0666);
  const std::string locked = path("locked.txt"), open = path("open.txt");
  // A directory that takes a new file from anyone cannot get round the locked file's mode.
  fs::permissions(dir_, fs::perms::all);
  EXPECT_TRUE(in_child([&] {
    ReplacingFile file;
    return become_ordinary_user() && file.open(locked) == EACCES;
  }));
  // A directory that takes no new file: the writable file is written in place. Given up before a
  // write, it is untouched; after one, it never shows the old content's tail.
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  EXPECT_TRUE(in_child([&] {
    ReplacingFile untouched, interrupted;
    return become_ordinary_user() && untouched.open(open) == 0 &&
           untouched.mode() == Mode::kInPlace && (untouched.discard(), true) &&
           interrupted.open(open) == 0 && interrupted.write("new\n") == 0;
  }));
  EXPECT_EQ(read_file(locked), "locked\n");
  EXPECT_EQ(read_file(open), "new\n");
  EXPECT_EQ(names(), (std::vector<std::string>{"locked.txt", "open.txt"}));
}

TEST_F(ReplacingFileTest, CommitBesideKeepsTheTextUnderASecondNameAndTheTargetAsItWas) {
  write_file(path("out.csv"), "complete\n");
  ReplacingFile file;
  ASSERT_EQ(file.open(path("out.csv")), 0);
  ASSERT_EQ(file.write("half\n"), 0);
  ASSERT_EQ(file.commit_beside(".partial"), 0);
  EXPECT_EQ(read_file(path("out.csv")), "complete\n");
  EXPECT_EQ(read_file(path("out.csv.partial")), "half\n");
  EXPECT_EQ(names(), (std::vector<std::string>{"out.csv", "out.csv.partial"}));
}

// A writer killed outright leaves its temporary file; the next writer of the same target finds
// it, and never a live writer's (which holds its lock), another target's or a look-alike's.
TEST_F(ReplacingFileTest, LeftoversAreTheTemporaryFilesOfWritersThatAreGone) {
  const pid_t child = ::fork();
  if (child == 0) {
    ReplacingFile killed;
    if (killed.open(path("out.csv")) != 0 || killed.write("rows of a killed run\n") != 0)
      std::_Exit(3);
    ::raise(SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  ReplacingFile live;
  ASSERT_EQ(live.open(path("out.csv")), 0);
  write_file(path(".other.csv.AbC123.tmp"), "another target's\n");
  write_file(path(".out.csv.toolong1.tmp"), "not a name this class makes\n");

  const std::vector<std::string> found = ReplacingFile::leftovers(path("out.csv"));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(read_file(found[0]), "rows of a killed run\n");
  live.discard();
  EXPECT_EQ(ReplacingFile::leftovers(path("out.csv")), found);
}

}  // namespace
}  // namespace tarven::common
