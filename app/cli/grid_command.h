#pragma once

// tarven grid: every row of a scenario file evaluated, in parallel, written in input order.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/csv.h"
#include "cli/scenario.h"

namespace tarven::cli {

// Exit statuses of the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitSomeNotOk = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitOutput = 3;

struct GridSettings {
  std::string input;
  std::string output = "-";
  std::string format = "csv";                // csv or ndjson
  std::string distribution;                  // tidy CSV of every split, or "" for none
  int jobs = 0;                              // scenarios in parallel, 0 = one per core
  std::optional<std::pair<int, int>> shard;  // (K, N): the K-th of N contiguous blocks
  bool no_header = false;
  bool resume = false;
  bool fail_fast = false;
  bool quiet = false;
  CommandQuestions questions;
  // Asked about the output's header before any scenario is evaluated; an answer other than "" is
  // a usage error (curves of a column the results will not have, say).
  std::function<std::string(const std::vector<std::string>&)> check_header;
  // How a scenario is evaluated: evaluate_scenario, or a stand-in for tests.
  std::function<ScenarioOutcome(const ScenarioInput&, const CommandQuestions&,
                                const std::atomic<bool>*)>
      evaluate = evaluate_scenario;
};

// Rows ⌊(K−1)·R/N⌋ .. ⌊K·R/N⌋ − 1 (0-based, end excluded) of R rows.
std::pair<std::size_t, std::size_t> shard_rows(std::size_t rows, int k, int n);

// Runs the command; returns its exit status. Messages go to the standard error stream.
//
// The scenarios file is read twice (scenario_file.h) and the results written as they come, in
// input order: what is held at any time is the rows evaluated but not yet written, at most
// kRowsAheadPerJob per job beyond the first row still under way. Interrupted, the run keeps the
// rows done in OUTPUT.partial and leaves OUTPUT as it was; --resume goes on from the newest of
// that file, the temporary files of killed runs and OUTPUT itself (resume.h).
int run_grid(const GridSettings& settings);

inline constexpr std::size_t kRowsAheadPerJob = 16;

}  // namespace tarven::cli
