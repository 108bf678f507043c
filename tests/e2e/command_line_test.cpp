// The command line of the built program: its help and exit statuses, and the same numbers from
// every front end.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/csv.h"
#include "plot/subprocess.h"
#include "tarven/version.h"
#include "tests/e2e/program_runner.h"
#include "tests/test_files.h"

namespace tarven::e2e {
namespace {

using testing_support::read_file;
using testing_support::write_file;

plot::SubprocessResult tarven(std::vector<std::string> args) {
  args.insert(args.begin(), TARVEN_EXE);
  return plot::run_subprocess(args, std::chrono::seconds(120));
}

using Scratch = testing_support::ScratchDirectory;

TEST(CommandLine, HelpVersionAndUsageErrorsAsOnAnyTool) {
  const auto help = tarven({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("Usage: tarven"), std::string::npos) << help.out;
  for (const char* command : {"run", "grid", "plot"}) {
    const auto sub = tarven({command, "--help"});
    EXPECT_EQ(sub.exit_code, 0) << command;
    EXPECT_NE(sub.out.find("--output"), std::string::npos) << sub.out;
  }
  const auto version = tarven({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, std::string("tarven ") + TARVEN_VERSION_STRING + "\n");

  EXPECT_EQ(tarven({"grid", "x.csv", "--no-such-flag"}).exit_code, 2);
  EXPECT_EQ(tarven({"run", "--n-total", "10"}).exit_code, 2);  // the other fields are missing
  const auto refused = tarven({"run", "--n-total", "10", "--n-majority", "7", "--n-hired", "11",
                               "--d", "0", "--rho", "0", "--retention", "0.5"});
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_NE(refused.err.find("n_hired = 11: must be from 1 to 10"), std::string::npos)
      << refused.err;
  EXPECT_EQ(tarven({"grid", "/no/such/file.csv"}).exit_code, 2);
  // A threshold written as a percentage is refused with its share, by both commands, before any
  // output is made.
  Scratch dir;
  write_file(dir("g.csv"), "n_total,n_majority,n_hired,d,rho,retention\n10,7,4,0,0,0.5\n");
  for (const auto& args :
       {std::vector<std::string>{"run", "--n-total", "10", "--n-majority", "7", "--n-hired", "4",
                                 "--d", "0", "--rho", "0", "--retention", "0.5", "--threshold",
                                 "80"},
        std::vector<std::string>{"grid", dir("g.csv"), "-o", dir("r.csv"), "--threshold", "80"}}) {
    const auto percentage = tarven(args);
    EXPECT_EQ(percentage.exit_code, 2) << args[0];
    EXPECT_NE(percentage.err.find("threshold 80: must lie above 0 and at most 1 (a percentage? "
                                  "80 % is 0.80)"),
              std::string::npos)
        << percentage.err;
    EXPECT_EQ(percentage.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(dir("r.csv")));
  // An engine's name is one of the library's words, never a silent default.
  const auto engine = tarven({"run", "--n-total", "10", "--n-majority", "7", "--n-hired", "4",
                              "--d", "0", "--rho", "0", "--retention", "0.5", "--engine", "foo"});
  EXPECT_EQ(engine.exit_code, 2);
  EXPECT_NE(engine.err.find("\"foo\" is not an engine: use single (the default) or nested"),
            std::string::npos)
      << engine.err;
}

double number(const std::string& text) {
  return std::stod(text);
}

std::string fixed(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
}

TEST(CommandLine, RunJsonAOneRowGridAndTheDialogueReportAgree) {
  Scratch dir;
  const auto run = tarven({"run", "--n-total", "30", "--n-majority", "20", "--n-hired", "8", "--d",
                           "-1.5", "--rho", "-0.6", "--retention", "0.05", "--format", "json"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto json = nlohmann::json::parse(run.out);

  write_file(dir("one.csv"),
             "n_total,n_majority,n_hired,d,rho,retention\n30,20,8,-1.5,-0.6,0.05\n");
  const auto grid = tarven({"grid", dir("one.csv"), "--quiet", "-o", dir("out.csv")});
  ASSERT_EQ(grid.exit_code, 0) << grid.err;
  const auto table = cli::read_csv(read_file(dir("out.csv")));
  ASSERT_FALSE(table.error);
  ASSERT_EQ(table.value.rows.size(), 1u);
  // Every summary value of the grid row is the run's, to the last bit.
  for (std::size_t c = 0; c < table.value.header.size(); ++c) {
    const std::string& name = table.value.header[c];
    const std::string& field = table.value.rows[0].fields[c];
    const auto& from = json["summary"].contains(name) ? json["summary"] : json["input"];
    if (!from.contains(name) || !from[name].is_number()) continue;
    EXPECT_EQ(number(field), from[name].get<double>()) << name;
  }

  // The dialogue on the same problem: its report shows the same distribution and means.
  const ProgramRun dialogue = run_program("r.txt\n30\n20\n8\n-1.5\n-0.6 0.05\ny\n");
  ASSERT_EQ(dialogue.exit_code, 0) << dialogue.err;
  const std::string report = dialogue.file("r.txt");
  for (const auto& row : json["distribution"]) {
    const double prob = row["prob"].get<double>();
    if (prob < 0.00001) continue;
    const std::string line =
        (row["ai"].is_null() ? std::string(" -1.000") : [&] {
          std::string ai = fixed(row["ai"].get<double>(), 3);
          return std::string(7 - ai.size(), ' ') + ai;
        }()) +
        "  " + fixed(prob, 4) + "  " + fixed(row["cum_prob"].get<double>(), 4);
    EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
  }
  const std::string means = fixed(json["summary"]["sr_majority_mean"].get<double>(), 3);
  EXPECT_NE(report.find("\n  " + means + "  "), std::string::npos) << means;
}

TEST(CommandLine, RunTakesSharesAsTheGridDoes) {
  const std::vector<std::string> common{"run", "--n-total",   "50",  "--d",      "0.5", "--rho",
                                        "0.3", "--retention", "0.6", "--format", "json"};
  auto run = [&](std::initializer_list<std::string> sizes) {
    std::vector<std::string> args = common;
    args.insert(args.end(), sizes);
    return tarven(args);
  };
  const auto counts = run({"--n-majority", "40", "--n-hired", "10"});
  const auto shares = run({"--minority-share", "0.2", "--selection-ratio", "0.2"});
  ASSERT_EQ(counts.exit_code, 0) << counts.err;
  ASSERT_EQ(shares.exit_code, 0) << shares.err;
  const auto a = nlohmann::json::parse(counts.out);
  const auto b = nlohmann::json::parse(shares.out);
  EXPECT_EQ(a["summary"], b["summary"]);
  EXPECT_EQ(a["distribution"], b["distribution"]);
  EXPECT_EQ(b["input"]["minority_share"], 0.2);
  EXPECT_EQ(b["input"]["n_minority"], 10);
  EXPECT_FALSE(a["input"].contains("minority_share"));

  const auto twice = run({"--n-majority", "40", "--minority-share", "0.2", "--n-hired", "10"});
  EXPECT_EQ(twice.exit_code, 2);
  EXPECT_NE(twice.err.find("n_majority and minority_share are given"), std::string::npos)
      << twice.err;
  const auto third = run({"--minority-share", "0.33", "--n-hired", "10"});
  EXPECT_EQ(third.exit_code, 2);
  EXPECT_NE(third.err.find("n_total × minority_share = 16.5: not a whole number of applicants"),
            std::string::npos)
      << third.err;
}

TEST(CommandLine, ShardsSpreadByGnuParallelJoinToTheWholeGrid) {
  if (std::system("command -v parallel >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "GNU parallel (Debian package parallel) is not installed";
  Scratch dir;
  write_file(dir("grid.csv"),
             "scenario_id,n_total,n_majority,n_hired,d,rho,retention\n"
             "a,10,7,4,0.5,0.3,0.6\nb,12,6,4,0,0.2,0.5\nc,8,5,3,-0.5,0.4,0.4\n"
             "d,9,3,5,0.2,-0.4,0.7\ne,6,3,2,1,0.5,0.5\n");
  const auto whole = tarven({"grid", dir("grid.csv"), "--quiet", "-o", dir("whole.csv")});
  ASSERT_EQ(whole.exit_code, 0) << whole.err;
  const std::string script = std::string(TARVEN_SOURCE_DIR) + "/tools/grid_parallel.sh";
  const auto spread = plot::run_subprocess(
      {"env", std::string("TARVEN=") + TARVEN_EXE, script, dir("grid.csv"), dir("spread.csv"), "2"},
      std::chrono::seconds(120));
  ASSERT_EQ(spread.exit_code, 0) << spread.err;
  EXPECT_EQ(read_file(dir("spread.csv")), read_file(dir("whole.csv")));
}

}  // namespace
}  // namespace tarven::e2e
