// The grid command on files: row order, bad rows, parallel and sharded runs, interruption and
// resumption. Scenarios are evaluated for real unless a test replaces the evaluation.

#include "cli/grid_command.h"

#include <gtest/gtest.h>
#include <sys/file.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>

#include "cli/summary_table.h"
#include "common/replacing_file.h"
#include "tests/test_files.h"

namespace tarven::cli {
namespace {

using testing_support::read_file;
using testing_support::write_file;

class GridFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tarven-grid-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  GridSettings settings(const std::string& scenarios, const std::string& output) {
    write_file(path("in.csv"), scenarios);
    GridSettings s;
    s.input = path("in.csv");
    s.output = path(output);
    s.quiet = true;
    s.jobs = 1;
    s.questions.threads = 1;
    return s;
  }

  std::filesystem::path dir_;
};

// Small problems, quick to evaluate, with a label that must survive.
const char* const kScenarios =
    "label,n_total,n_majority,n_hired,d,rho,retention\n"
    "\"a, first\",10,7,4,0.5,0.3,0.6\n"
    "b,12,6,4,0,0.2,0.5\n"
    "c,8,5,3,-0.5,0.4,0.4\n"
    "d,9,3,5,0.2,-0.4,0.7\n"
    "e,6,3,2,1,0.5,0.5\n";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
    lines.push_back(text.substr(from, nl - from));
  return lines;
}

TEST_F(GridFiles, BadRowsAreReportedInPlaceAndTheOthersStillRun) {
  GridSettings s = settings(
      "scenario_id,n_total,n_majority,n_hired,d,rho,retention,cond\n"
      "first,10,7,4,0.5,0.3,0.6,x\n"
      "missing,10,7,,0.5,0.3,0.6,y\n"
      "range,10,7,4,0.5,1.5,0.6,z\n"
      "abandon,10,7,4,0.5,0.3,0.6,w\n"
      "short,10,7\n"
      "last,12,6,4,0,0.2,0.5,v\n",
      "out.csv");
  // The fourth row's evaluation gives up, as an abandoned evaluation does.
  s.evaluate = [](const ScenarioInput& in, const CommandQuestions& q,
                  const std::atomic<bool>* cancel) {
    ScenarioOutcome out = evaluate_scenario(in, q, cancel);
    if (in.id == "abandon") {
      out.analysis.status = AnalysisStatus::kAbandoned;
      out.analysis.message = "no acceptable probability";
    }
    return out;
  };
  EXPECT_EQ(run_grid(s), kExitSomeNotOk);
  const std::vector<std::string> lines = lines_of(read_file(s.output));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_TRUE(lines[0].starts_with("scenario_id,cond,n_total,n_majority,n_minority,n_hired,"));
  const char* const expected[] = {"first,x,",   "missing,y,", "range,z,",
                                  "abandon,w,", "short,,",    "last,v,"};
  const char* const status[] = {",ok,NA,",   ",invalid,n_hired: missing (or give selection_ratio),",
                                ",invalid,", ",abandoned,",
                                ",invalid,", ",ok,NA,"};
  for (std::size_t r = 0; r < 6; ++r) {
    EXPECT_TRUE(lines[r + 1].starts_with(expected[r])) << lines[r + 1];
    EXPECT_NE(lines[r + 1].find(status[r]), std::string::npos) << lines[r + 1];
  }
  // An invalid row echoes its fields as given and has no results.
  EXPECT_TRUE(lines[3].starts_with("range,z,10,7,NA,4,0.5,1.5,0.6,NA,single,0.05,invalid,"))
      << lines[3];
  EXPECT_TRUE(lines[3].ends_with(std::string(",NA,NA,NA,NA,NA,NA,") + version())) << lines[3];
  // The first and the last row agree with a grid of themselves alone.
  GridSettings alone = settings(
      "scenario_id,n_total,n_majority,n_hired,d,rho,retention,cond\nfirst,10,7,4,0.5,0.3,0.6,x\n",
      "alone.csv");
  EXPECT_EQ(run_grid(alone), kExitOk);
  EXPECT_EQ(lines_of(read_file(alone.output))[1], lines[1]);
}

TEST_F(GridFiles, TheBytesDoNotDependOnTheNumberOfJobs) {
  GridSettings one = settings(kScenarios, "one.csv");
  one.distribution = path("one-dist.csv");
  GridSettings four = settings(kScenarios, "four.csv");
  four.jobs = 4;
  four.questions.threads = 2;
  four.distribution = path("four-dist.csv");
  ASSERT_EQ(run_grid(one), kExitOk);
  ASSERT_EQ(run_grid(four), kExitOk);
  EXPECT_EQ(read_file(one.output), read_file(four.output));
  EXPECT_EQ(read_file(one.distribution), read_file(four.distribution));
  EXPECT_EQ(lines_of(read_file(one.output)).size(), 6u);
}

TEST_F(GridFiles, ShardsConcatenatedEqualTheWholeGrid) {
  GridSettings whole = settings(kScenarios, "whole.csv");
  ASSERT_EQ(run_grid(whole), kExitOk);
  std::string joined;
  for (int k = 1; k <= 3; ++k) {
    GridSettings shard = settings(kScenarios, "shard" + std::to_string(k) + ".csv");
    shard.shard = std::make_pair(k, 3);
    shard.no_header = k > 1;
    ASSERT_EQ(run_grid(shard), kExitOk);
    joined += read_file(shard.output);
  }
  EXPECT_EQ(joined, read_file(whole.output));
  // Rows 1, 2-3, 4-5 of five: floor((K-1)*5/3) + 1 to floor(K*5/3).
  EXPECT_EQ(shard_rows(5, 1, 3), std::make_pair(std::size_t{0}, std::size_t{1}));
  EXPECT_EQ(shard_rows(5, 2, 3), std::make_pair(std::size_t{1}, std::size_t{3}));
  EXPECT_EQ(shard_rows(5, 3, 3), std::make_pair(std::size_t{3}, std::size_t{5}));
}

TEST_F(GridFiles, AnInterruptedGridResumesToTheSameFile) {
  GridSettings whole = settings(kScenarios, "whole.csv");
  whole.distribution = path("whole-dist.csv");
  ASSERT_EQ(run_grid(whole), kExitOk);

  // An interrupt arrives while the third scenario is evaluated: the first two are complete lines.
  GridSettings cut = settings(kScenarios, "cut.csv");
  cut.distribution = path("cut-dist.csv");
  cut.evaluate = [](const ScenarioInput& in, const CommandQuestions& q,
                    const std::atomic<bool>* cancel) {
    if (in.id == "3") std::raise(SIGINT);
    return evaluate_scenario(in, q, cancel);
  };
  EXPECT_EQ(run_grid(cut), 128 + SIGINT);
  // What was complete when the interrupt came, the first two scenarios at least and not all five,
  // is kept beside the output, which the interrupted run does not make.
  EXPECT_FALSE(std::filesystem::exists(cut.output));
  const std::string partial = read_file(cut.output + ".partial");
  EXPECT_GE(lines_of(partial).size(), 3u);
  EXPECT_LT(lines_of(partial).size(), 6u);
  EXPECT_TRUE(read_file(whole.output).starts_with(partial));
  // No temporary file is left behind.
  for (const auto& entry : std::filesystem::directory_iterator(dir_))
    EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();

  GridSettings resumed = settings(kScenarios, "cut.csv");
  resumed.distribution = path("cut-dist.csv");
  resumed.resume = true;
  EXPECT_EQ(run_grid(resumed), kExitOk);
  EXPECT_EQ(read_file(resumed.output), read_file(whole.output));
  EXPECT_EQ(read_file(resumed.distribution), read_file(whole.distribution));
  EXPECT_FALSE(std::filesystem::exists(cut.output + ".partial"));
  EXPECT_FALSE(std::filesystem::exists(cut.distribution + ".partial"));
}

TEST_F(GridFiles, ScenarioIdsMustDifferAsWrittenOrNothingRuns) {
  // The second pair differs only in a byte that is not UTF-8, which every output writes as U+FFFD.
  for (const char* ids : {"a\nb\na", "x\xFF\ny\nx\xFE"}) {
    std::string text = "scenario_id,n_total,n_majority,n_hired,d,rho,retention\n";
    for (std::size_t from = 0; from <= std::string_view(ids).size();) {
      const std::size_t nl = std::min(std::string_view(ids).find('\n', from), std::strlen(ids));
      text += std::string(ids + from, nl - from) + ",10,7,4,0.5,0.3,0.6\n";
      from = nl + 1;
    }
    GridSettings s = settings(text, "out.csv");
    EXPECT_EQ(run_grid(s), kExitUsage) << ids;
    EXPECT_FALSE(std::filesystem::exists(s.output));
  }
}

// Each way an earlier output can fail to be this grid's, with these options, refuses the resumed
// run before anything is written: the output and its distribution file stay as they were.
TEST_F(GridFiles, ResumeRefusesRowsThisRunWouldNotWrite) {
  GridSettings whole = settings(kScenarios, "whole.csv");
  whole.distribution = path("whole-dist.csv");
  ASSERT_EQ(run_grid(whole), kExitOk);
  GridSettings as_json = settings(kScenarios, "whole.ndjson");
  as_json.format = "ndjson";
  ASSERT_EQ(run_grid(as_json), kExitOk);
  const std::string csv = read_file(whole.output);
  const std::string json = read_file(as_json.output);
  const std::vector<std::string> rows = lines_of(csv);

  struct Case {
    const char* what;
    std::string earlier;  // the output file's text
    std::function<void(GridSettings&)> change;
  };
  const auto first = [&](std::size_t n) {
    std::string text;
    for (std::size_t k = 0; k < n; ++k) text += rows[k] + "\n";
    return text;
  };
  const std::string changed =
      std::string(kScenarios)
          .replace(std::string(kScenarios).find("b,12,6,4,0,"), 11, "b,12,6,4,0.1,");
  const std::vector<Case> cases = {
      {"another alpha", first(3), [](GridSettings& s) { s.questions.alpha = 0.01; }},
      {"another engine", first(3), [](GridSettings& s) { s.questions.engine = Engine::kNested; }},
      {"another threshold", first(3), [](GridSettings& s) { s.questions.thresholds = {"0.9"}; }},
      {"a changed row", first(4), [&](GridSettings& s) { write_file(s.input, changed); }},
      {"an id not in the grid", first(2) + "zz" + rows[2].substr(1) + "\n", {}},
      {"rows out of order", rows[0] + "\n" + rows[2] + "\n" + rows[1] + "\n", {}},
      {"more rows than the shard", first(4),
       [](GridSettings& s) { s.shard = std::make_pair(1, 2); }},
      {"a forged NDJSON line", "{\"scenario_id\":\"1\",\"status\":\"ok\"}\n",
       [](GridSettings& s) { s.format = "ndjson"; }},
      {"NDJSON of another alpha", json.substr(0, json.find('\n') + 1),
       [](GridSettings& s) { s.format = "ndjson", s.questions.alpha = 0.1; }},
      {"no distribution of the kept rows", first(3),
       [&](GridSettings& s) { s.distribution = path("none-dist.csv"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GridSettings s = settings(kScenarios, "earlier.csv");
    s.resume = true;
    if (c.change) c.change(s);
    write_file(s.output, c.earlier);
    EXPECT_EQ(run_grid(s), kExitUsage);
    EXPECT_EQ(read_file(s.output), c.earlier);
    EXPECT_FALSE(std::filesystem::exists(s.output + ".partial"));
    if (!s.distribution.empty()) {
      EXPECT_FALSE(std::filesystem::exists(s.distribution));
    }
  }
}

TEST_F(GridFiles, ResumeWritesTheEarlierFilesLineEnds) {
  GridSettings whole = settings(kScenarios, "whole.csv");
  whole.distribution = path("whole-dist.csv");
  ASSERT_EQ(run_grid(whole), kExitOk);
  const auto crlf = [](const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
  };
  const std::vector<std::string> rows = lines_of(read_file(whole.output));
  std::string first_splits;  // the distribution header and the first scenario's rows
  for (const std::string& line : lines_of(read_file(whole.distribution)))
    if (first_splits.empty() || line.starts_with("1,")) first_splits += line + "\n";
  GridSettings resumed = settings(kScenarios, "crlf.csv");
  resumed.distribution = path("crlf-dist.csv");
  resumed.resume = true;
  write_file(resumed.output, crlf(rows[0] + "\n" + rows[1] + "\n"));
  write_file(resumed.distribution, crlf(first_splits));
  EXPECT_EQ(run_grid(resumed), kExitOk);
  EXPECT_EQ(read_file(resumed.output), crlf(read_file(whole.output)));
  EXPECT_EQ(read_file(resumed.distribution), crlf(read_file(whole.distribution)));
}

TEST_F(GridFiles, KeptRowsWithoutSplitsNeedNoDistributionRows) {
  // The first scenario is invalid, so it has no distribution rows; a distribution file asked for
  // only on resuming then starts with its header and holds the rest.
  const std::string scenarios =
      "scenario_id,n_total,n_majority,n_hired,d,rho,retention\n"
      "a,10,7,4,11,0.3,0.6\nb,12,6,4,0,0.2,0.5\n";
  GridSettings whole = settings(scenarios, "whole.csv");
  whole.distribution = path("whole-dist.csv");
  ASSERT_EQ(run_grid(whole), kExitSomeNotOk);
  const std::vector<std::string> rows = lines_of(read_file(whole.output));
  GridSettings resumed = settings(scenarios, "out.csv");
  resumed.distribution = path("out-dist.csv");
  resumed.resume = true;
  write_file(resumed.output, rows[0] + "\n" + rows[1] + "\n");
  EXPECT_EQ(run_grid(resumed), kExitSomeNotOk);
  EXPECT_EQ(read_file(resumed.output), read_file(whole.output));
  EXPECT_EQ(read_file(resumed.distribution), read_file(whole.distribution));
}

TEST_F(GridFiles, AnInterruptedRerunLeavesTheCompleteOutputAsItWas) {
  GridSettings whole = settings(kScenarios, "out.csv");
  ASSERT_EQ(run_grid(whole), kExitOk);
  const std::string complete = read_file(whole.output);

  GridSettings again = settings(kScenarios, "out.csv");
  again.evaluate = [](const ScenarioInput& in, const CommandQuestions& q,
                      const std::atomic<bool>* cancel) {
    if (in.id == "2") std::raise(SIGTERM);
    return evaluate_scenario(in, q, cancel);
  };
  EXPECT_EQ(run_grid(again), 128 + SIGTERM);
  EXPECT_EQ(read_file(whole.output), complete);
  const std::string partial = read_file(whole.output + ".partial");
  EXPECT_TRUE(complete.starts_with(partial));
  EXPECT_LT(partial.size(), complete.size());

  // A complete run on the same target removes what the interrupted one kept.
  ASSERT_EQ(run_grid(settings(kScenarios, "out.csv")), kExitOk);
  EXPECT_EQ(read_file(whole.output), complete);
  EXPECT_FALSE(std::filesystem::exists(whole.output + ".partial"));
}

TEST_F(GridFiles, AKilledRunsTemporaryFileIsTakenUpAndALiveWritersIsLeftAlone) {
  GridSettings whole = settings(kScenarios, "whole.csv");
  ASSERT_EQ(run_grid(whole), kExitOk);
  const std::vector<std::string> rows = lines_of(read_file(whole.output));

  // What a writer killed after two rows leaves: its temporary file, no longer locked, with a cut
  // third line; and a writer of the same target still at work, whose file is locked.
  write_file(path(".out.csv.AbC123.tmp"),
             rows[0] + "\n" + rows[1] + "\n" + rows[2] + "\n" + rows[3].substr(0, 10));
  common::ReplacingFile live;
  ASSERT_EQ(live.open(path("out.csv")), 0);
  ASSERT_EQ(live.write("a live writer's rows\n"), 0);

  GridSettings resumed = settings(kScenarios, "out.csv");
  int evaluated = 0;
  resumed.evaluate = [&](const ScenarioInput& in, const CommandQuestions& q,
                         const std::atomic<bool>* cancel) {
    ++evaluated;
    return evaluate_scenario(in, q, cancel);
  };
  resumed.resume = true;
  EXPECT_EQ(run_grid(resumed), kExitOk);
  EXPECT_EQ(evaluated, 3);  // two rows were taken from the killed run's file
  EXPECT_EQ(read_file(resumed.output), read_file(whole.output));
  std::vector<std::string> hidden;
  for (const auto& entry : std::filesystem::directory_iterator(dir_))
    if (entry.path().filename().string().starts_with(".")) hidden.push_back(entry.path());
  ASSERT_EQ(hidden.size(), 1u);  // the live writer's, still there
  EXPECT_EQ(read_file(hidden[0]), "a live writer's rows\n");
  live.discard();
}

// Splits a CSV line (the fields here hold no quotes).
std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (std::size_t comma; (comma = line.find(',', from)) != std::string::npos; from = comma + 1)
    fields.push_back(line.substr(from, comma - from));
  fields.push_back(line.substr(from));
  return fields;
}

TEST_F(GridFiles, SharesStateTheSameScenarioAsCountsAndPassThroughAsGiven) {
  // One scenario (100 applicants, 20 of the minority, 20 hired) three ways, then a share that gives
  // no whole number of applicants and a row that gives one size twice.
  GridSettings s = settings(
      "scenario_id,n_total,n_majority,n_minority,minority_share,n_hired,selection_ratio,d,rho,"
      "retention\n"
      "counts,100,80,,,20,,0.5,0.3,0.6\n"
      "minority,100,,20,,20,,0.5,0.3,0.6\n"
      "shares,100,,,0.2,,0.20,0.5,0.3,0.6\n"
      "third,100,,,0.333,20,,0.5,0.3,0.6\n"
      "twice,100,80,20,,20,,0.5,0.3,0.6\n",
      "out.csv");
  EXPECT_EQ(run_grid(s), kExitSomeNotOk);
  const std::vector<std::string> lines = lines_of(read_file(s.output));
  ASSERT_EQ(lines.size(), 6u);
  // The shares are passed through; n_minority is the summary's own column, written once.
  EXPECT_TRUE(lines[0].starts_with(
      "scenario_id,minority_share,selection_ratio,n_total,n_majority,n_minority,n_hired,d,"))
      << lines[0];
  const std::vector<std::string> counts = fields_of(lines[1]);
  for (std::size_t r : {2u, 3u}) {
    const std::vector<std::string> row = fields_of(lines[r]);
    ASSERT_EQ(row.size(), counts.size());
    // Every column from n_total on, every digit.
    for (std::size_t c = 3; c < row.size(); ++c) EXPECT_EQ(row[c], counts[c]) << lines[r];
  }
  EXPECT_TRUE(lines[1].starts_with("counts,,,100,80,20,20,0.5,")) << lines[1];
  EXPECT_TRUE(lines[3].starts_with("shares,0.2,0.20,100,80,20,20,0.5,")) << lines[3];
  EXPECT_NE(lines[4].find(",invalid,n_total × minority_share = 33.3: not a whole number of "
                          "applicants,"),
            std::string::npos)
      << lines[4];
  EXPECT_NE(lines[5].find(",invalid,\"n_majority and n_minority are given: give only one of "
                          "n_majority, n_minority or minority_share\","),
            std::string::npos)
      << lines[5];

  // NDJSON holds the same: each name once, the shares as the numbers they are.
  GridSettings json = s;
  json.format = "ndjson";
  json.output = path("out.ndjson");
  EXPECT_EQ(run_grid(json), kExitSomeNotOk);
  const std::vector<std::string> objects = lines_of(read_file(json.output));
  ASSERT_EQ(objects.size(), 5u);
  EXPECT_NE(objects[2].find("\"input\":{\"minority_share\":0.2,\"selection_ratio\":0.2,"
                            "\"n_total\":100,\"n_majority\":80,\"n_minority\":20,\"n_hired\":20,"),
            std::string::npos)
      << objects[2];
}

TEST_F(GridFiles, AColumnNamedLikeAnOutputColumnIsRefused) {
  GridSettings s = settings(
      "n_total,n_majority,n_hired,d,rho,retention,status\n10,7,4,0.5,0.3,0.6,x\n", "o.csv");
  EXPECT_EQ(run_grid(s), kExitUsage);
  EXPECT_FALSE(std::filesystem::exists(s.output));
}

TEST_F(GridFiles, AMissingColumnIsAUsageErrorAndWritesNothing) {
  GridSettings s = settings("n_total,n_majority,n_hired,d,rho\n10,7,4,0.5,0.3\n", "out.csv");
  EXPECT_EQ(run_grid(s), kExitUsage);
  EXPECT_FALSE(std::filesystem::exists(s.output));
}

TEST_F(GridFiles, AnOutputThatCannotBeWrittenIsNeverASuccess) {
  GridSettings s = settings(kScenarios, "no-such-dir/out.csv");
  EXPECT_EQ(run_grid(s), kExitOutput);
  if (std::filesystem::exists("/dev/full")) {
    GridSettings full = settings(kScenarios, "x.csv");
    full.output = "/dev/full";
    EXPECT_EQ(run_grid(full), kExitOutput);
  }
}

}  // namespace
}  // namespace tarven::cli
