// The command line as a careless or hostile user meets it, and under faults: every refusal is one
// line and an exit status, never an abort; no output is lost, overwritten by mistake or mixed
// with another run's.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "common/utf8_text.h"
#include "plot/subprocess.h"
#include "tests/test_files.h"

namespace tarven::e2e {
namespace {

namespace fs = std::filesystem;
using testing_support::read_file;
using testing_support::write_file;
using Scratch = testing_support::ScratchDirectory;

plot::SubprocessResult tarven(std::vector<std::string> args) {
  args.insert(args.begin(), TARVEN_EXE);
  return plot::run_subprocess(args, std::chrono::seconds(120));
}

// The program through a shell that first runs `setup` (a limit, a redirection of its own).
plot::SubprocessResult tarven_after(const std::string& setup, std::vector<std::string> args) {
  args.insert(args.begin(), {"sh", "-c", setup + "; exec \"$0\" \"$@\"", TARVEN_EXE});
  return plot::run_subprocess(args, std::chrono::seconds(120));
}

const char* const kSmall =
    "scenario_id,label,n_total,n_majority,n_hired,d,rho,retention\n"
    "a,x,10,7,4,0.5,0.3,0.6\nb,y,12,6,4,0,0.2,0.5\nc,z,8,5,3,-0.5,0.4,0.4\n";

// Each input that used to end the program with an uncaught exception, an abort or a 359-byte
// message now ends it with one line that names the file or option, and status 2 (3 for output).
TEST(CommandLineFaults, EachRefusalIsOneLineAndAnExitStatus) {
  Scratch dir;
  fs::create_directory(dir("a-directory"));
  write_file(dir("s.csv"), kSmall);
  write_file(dir("no-header.csv"), "10,7,4,0,0,0.5\n10,7,4,0,0,0.5\n");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"grid", dir("a-directory")}, 2, "is a directory"},
      {{"plot", dir("a-directory"), "--x", "a", "--y", "b", "-o", dir("p.svg")},
       2,
       "is a directory"},
      {{"grid", dir("s.csv"), "--resume", "-o", dir("a-directory")}, 3, "Is a directory"},
      {{"grid", dir("s.csv"), "--jobs", "-1"}, 2, "tarven: --jobs must be a whole number >= 0\n"},
      {{"grid", dir("s.csv"), "--threads", "1.5"},
       2,
       "tarven: --threads must be a whole number >= 0\n"},
      {{"grid", dir("no-header.csv")}, 2, "no header row: the first line has no column names"},
      {{"run", "--n-total", "10", "--n-majority", "7", "--n-hired", "4", "--d", "1e400", "--rho",
        "0.3", "--retention", "0.6"},
       2,
       "d = 1e400: out of range (from -10 to 10)"},
      {{"grid", dir("s.csv"), "-o", dir("r.csv"), "--no-header", "--html", dir("r.html")},
       2,
       "cannot go with --no-header"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + " ...");
    const auto r = tarven(c.args);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, c.status) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_FALSE(fs::exists(dir("r.csv")));
}

TEST(CommandLineFaults, TextThatIsNotUtf8IsRepairedAlikeInEveryOutput) {
  Scratch dir;
  write_file(dir("s.csv"),
             "scenario_id,label,n_total,n_majority,n_hired,d,rho,retention\n"
             "caf\xE9,M\xFCller,10,7,4,0.5,0.3,0.6\nb,\xE2\x82,12,6,4,x\xFF,0.2,0.5\n");
  const auto ndjson = tarven({"grid", dir("s.csv"), "--quiet", "--format", "ndjson", "-o",
                              dir("r.ndjson"), "--distribution", dir("d.csv")});
  ASSERT_EQ(ndjson.exit_code, 1) << ndjson.err;  // the second row is invalid: d is no number
  const auto csv = tarven({"grid", dir("s.csv"), "--quiet", "-o", dir("r.csv"), "--html",
                           dir("r.html"), "--x", "n_total"});
  ASSERT_EQ(csv.exit_code, 1) << csv.err;
  const std::string fffd = "\xEF\xBF\xBD";
  for (const char* file : {"r.ndjson", "d.csv", "r.csv", "r.html"}) {
    const std::string text = read_file(dir(file));
    EXPECT_EQ(common::valid_utf8(text), text) << file;
    EXPECT_NE(text.find("caf" + fffd), std::string::npos) << file;
  }
  for (const char* file : {"r.ndjson", "r.csv", "r.html"})
    EXPECT_NE(read_file(dir(file)).find("M" + fffd + "ller"), std::string::npos) << file;
  const std::string lines = read_file(dir("r.ndjson"));
  const auto first = nlohmann::json::parse(lines.substr(0, lines.find('\n')));
  EXPECT_EQ(first["input"]["label"], "M" + fffd + "ller");
}

// The system refuses threads beyond what an address-space limit leaves room for: the grid goes on
// with those that started and writes the same bytes.
TEST(CommandLineFaults, ThreadsTheSystemRefusesLeaveTheGridToTheOthers) {
  Scratch dir;
  std::string many_rows = "n_total,n_majority,n_hired,d,rho,retention\n";
  for (int r = 0; r < 100; ++r) many_rows += "4,2,2,0." + std::to_string(r % 10) + ",0.3,0.6\n";
  write_file(dir("s.csv"), many_rows);
  const auto one = tarven({"grid", dir("s.csv"), "--quiet", "--jobs", "1", "-o", dir("one.csv")});
  ASSERT_EQ(one.exit_code, 0) << one.err;
  const auto many = tarven_after("ulimit -v 300000",
                                 {"grid", dir("s.csv"), "--jobs", "1000", "-o", dir("many.csv")});
  EXPECT_EQ(many.exit_code, 0) << many.err;
  EXPECT_NE(many.err.find("--jobs 1000: the system started"), std::string::npos) << many.err;
  EXPECT_EQ(read_file(dir("many.csv")), read_file(dir("one.csv")));
}

TEST(CommandLineFaults, PlotDrawsValuesAtTheEndsOfTheDoubleRange) {
  Scratch dir;
  write_file(dir("huge.csv"), "status,x,y\nok,1,1e308\nok,2,-1.7e308\nok,3,1.79e308\n");
  write_file(dir("tiny.csv"), "status,x,y\nok,1,1.2e-320\nok,2,2.9e-320\n");
  for (const char* name : {"huge", "tiny"}) {
    const std::string svg = dir(std::string(name) + ".svg");
    const auto r =
        tarven({"plot", dir(std::string(name) + ".csv"), "--x", "x", "--y", "y", "-o", svg});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string text = read_file(svg);
    EXPECT_EQ(text.find("NaN"), std::string::npos) << name;
    EXPECT_EQ(text.find("Inf"), std::string::npos) << name;
    EXPECT_EQ(text.find(">0.00000000000000000<"), std::string::npos) << name;
  }
  EXPECT_NE(read_file(dir("tiny.svg")).find(">2e-320<"), std::string::npos);
  EXPECT_NE(read_file(dir("huge.svg")).find(">1e308<"), std::string::npos);
}

TEST(CommandLineFaults, ResultsDueOnAClosedStandardOutputAreAnOutputError) {
  Scratch dir;
  write_file(dir("s.csv"), kSmall);
  ASSERT_EQ(tarven({"grid", dir("s.csv"), "--quiet", "-o", dir("r.csv")}).exit_code, 0);
  const std::vector<std::vector<std::string>> commands = {
      {"grid", dir("s.csv"), "--quiet"},
      {"run", "--n-total", "10", "--n-majority", "7", "--n-hired", "4", "--d", "0", "--rho", "0",
       "--retention", "0.5"},
      {"plot", dir("r.csv"), "--x", "n_total", "--y", "p_ai_lt_0_80", "-o", "-"},
  };
  for (const auto& args : commands) {
    const auto r = tarven_after("exec >&-", args);
    EXPECT_EQ(r.exit_code, 3) << args[0] << ": " << r.err;
    EXPECT_NE(r.err.find("standard output is closed"), std::string::npos) << r.err;
  }
}

TEST(CommandLineFaults, AnOutputThatIsTheInputOrAnotherOutputIsRefusedBeforeAnythingRuns) {
  Scratch dir;
  write_file(dir("s.csv"), kSmall);
  ASSERT_EQ(tarven({"grid", dir("s.csv"), "--quiet", "-o", dir("r.csv")}).exit_code, 0);
  const std::string results = read_file(dir("r.csv"));
  fs::create_symlink(dir("s.csv"), dir("link.csv"));
  const std::vector<std::vector<std::string>> cases = {
      {"grid", dir("s.csv"), "-o", dir("link.csv")},
      {"grid", dir("s.csv"), "-o", dir("new.csv"), "--distribution", dir("./new.csv")},
      {"grid", dir("s.csv"), "-o", dir("r2.csv"), "--html", dir("s.csv")},
      {"run", "--n-total", "10", "--n-majority", "7", "--n-hired", "4", "--d", "0", "--rho", "0",
       "--retention", "0.5", "-o", dir("x.txt"), "--distribution", dir("x.txt")},
      {"plot", dir("r.csv"), "--x", "n_total", "--y", "p_ai_lt_0_80", "-o", dir("r.csv")},
  };
  for (const auto& args : cases) {
    const auto r = tarven(args);
    EXPECT_EQ(r.exit_code, 2) << r.err;
  }
  EXPECT_EQ(read_file(dir("s.csv")), kSmall);
  EXPECT_EQ(read_file(dir("r.csv")), results);
  for (const char* name : {"new.csv", "r2.csv", "x.txt"}) EXPECT_FALSE(fs::exists(dir(name)));
}

// A grid run by hand, its signals as a shell leaves them, or with SIGHUP ignored as nohup does.
class GridProcess {
 public:
  GridProcess(const std::vector<std::string>& args, bool hangup_ignored) {
    pid_ = ::fork();
    if (pid_ == 0) {
      for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(s, SIG_DFL);
      if (hangup_ignored) std::signal(SIGHUP, SIG_IGN);
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
      std::vector<char*> argv{const_cast<char*>(TARVEN_EXE)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(TARVEN_EXE, argv.data());
      std::_Exit(127);
    }
  }
  ~GridProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  void signal(int number) { ::kill(pid_, number); }
  // The wait status.
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
};

// Scenarios of 20,000 applicants, about a fifth of a second each: slow enough to be caught at
// work.
std::string slow_scenarios(int rows) {
  std::string text = "scenario_id,n_total,n_majority,n_hired,d,rho,retention\n";
  for (int r = 1; r <= rows; ++r) {
    const std::string k = std::to_string(r);
    text.append("s").append(k).append(",20000,16000,2000,0.").append(k).append(",0.3,0.5\n");
  }
  return text;
}

// Waits until some file of `dir` whose name starts with `prefix` holds `lines` complete lines.
bool wait_for_lines(const fs::path& dir, const std::string& prefix, std::size_t lines) {
  for (int tries = 0; tries < 3000; ++tries) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (!entry.path().filename().string().starts_with(prefix)) continue;
      const std::string text = read_file(entry.path());
      if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines)
        return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::vector<std::string> hidden_files(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().filename().string().starts_with(".")) names.push_back(entry.path());
  return names;
}

TEST(CommandLineFaults, AGridUnderNohupSurvivesItsHangup) {
  Scratch dir;
  write_file(dir("s.csv"), slow_scenarios(3));
  GridProcess grid({"grid", dir("s.csv"), "--jobs", "1", "-o", dir("r.csv")}, true);
  // Under way, its handlers in place: the header and the first row are written.
  ASSERT_TRUE(wait_for_lines(dir.path(), ".r.csv.", 2));
  grid.signal(SIGHUP);
  const int status = grid.wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string results = read_file(dir("r.csv"));
  EXPECT_EQ(std::count(results.begin(), results.end(), '\n'), 4);
}

// Interrupted, a rerun leaves the complete earlier output as it was and keeps its rows in
// OUTPUT.partial; killed, it leaves a temporary file; --resume takes up either and ends with the
// bytes of an uninterrupted run and no file of its own beside them.
TEST(CommandLineFaults, InterruptedAndKilledGridsAreTakenUpByResume) {
  Scratch dir;
  write_file(dir("s.csv"), slow_scenarios(4));
  const std::vector<std::string> args = {"grid", dir("s.csv"), "--jobs",         "1",
                                         "-o",   dir("r.csv"), "--distribution", dir("d.csv")};
  ASSERT_EQ(tarven(args).exit_code, 0);
  const std::string complete = read_file(dir("r.csv"));
  const std::string splits = read_file(dir("d.csv"));

  {
    GridProcess interrupted(args, false);
    ASSERT_TRUE(wait_for_lines(dir.path(), ".r.csv.", 2));  // the header and one row
    interrupted.signal(SIGTERM);
    const int status = interrupted.wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  }
  EXPECT_EQ(read_file(dir("r.csv")), complete);
  EXPECT_EQ(read_file(dir("d.csv")), splits);
  const std::string partial = read_file(dir("r.csv.partial"));
  EXPECT_TRUE(complete.starts_with(partial) && partial.size() < complete.size());
  EXPECT_TRUE(hidden_files(dir.path()).empty());

  std::vector<std::string> resumed = args;
  resumed.push_back("--resume");
  {
    GridProcess killed(resumed, false);
    ASSERT_TRUE(wait_for_lines(dir.path(), ".r.csv.", 3));
    killed.signal(SIGKILL);
    killed.wait();
  }
  EXPECT_EQ(hidden_files(dir.path()).size(), 2u);  // the output's and the distribution's

  fs::remove(dir("r.csv"));
  fs::remove(dir("d.csv"));
  const auto r = tarven(resumed);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(read_file(dir("r.csv")), complete);
  EXPECT_EQ(read_file(dir("d.csv")), splits);
  EXPECT_FALSE(fs::exists(dir("r.csv.partial")));
  EXPECT_FALSE(fs::exists(dir("d.csv.partial")));
  EXPECT_TRUE(hidden_files(dir.path()).empty());
  EXPECT_EQ(r.err.find("4/4"), std::string::npos) << "nothing was taken up: " << r.err;
}

}  // namespace
}  // namespace tarven::e2e
