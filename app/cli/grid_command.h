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

// The scenarios of a table: the id column (or the 1-based row number), the fields that state the
// scenario and the other columns (and the shares) passed through. An error text when the header
// lacks a column the scenarios need (naming every one, with the near misses) or has a column
// without a name.
struct ScenarioTable {
  std::vector<std::string> passthrough_names;
  std::vector<ScenarioInput> scenarios;
};
std::variant<ScenarioTable, std::string> scenarios_of(const CsvTable& table);

// Rows ⌊(K−1)·R/N⌋ .. ⌊K·R/N⌋ − 1 (0-based, end excluded) of R rows.
std::pair<std::size_t, std::size_t> shard_rows(std::size_t rows, int k, int n);

// Runs the command; returns its exit status. Messages go to the standard error stream.
int run_grid(const GridSettings& settings);

}  // namespace tarven::cli
