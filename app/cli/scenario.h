#pragma once

// One scenario of the command line: its fields as given, and its analysis by the library. A
// scenario whose fields the problem's checks refuse is reported as invalid with their message;
// every other outcome is the library's.

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tarven/analysis.h"

namespace tarven::cli {

// The six fields that state a scenario, in this order.
inline constexpr std::array<const char*, 6> kInputColumns{"n_total", "n_majority", "n_hired",
                                                          "d",       "rho",        "retention"};

struct ScenarioInput {
  std::string id;                        // scenario_id
  std::vector<std::string> passthrough;  // the other columns of the row, as given
  std::array<std::string, 6> fields;     // kInputColumns as given; empty when missing
  std::optional<std::string> fault;      // a row that could not be read at all
};

// What every scenario of one command is asked, and how it is computed.
struct CommandQuestions : Questions {
  Engine engine = Engine::kSingle;
  int threads = 0;      // threads per evaluation, 0 = all cores
  bool timing = false;  // measure the processor time of each scenario
};

struct ScenarioOutcome {
  std::optional<Problem> problem;  // when the fields passed the checks
  // The library's analysis; for a scenario refused before it became a problem, the status
  // kInvalidQuestions (the grid's "invalid") with the refusal as the message.
  Analysis analysis;
  std::optional<double> cpu_seconds;  // when timing was asked for

  bool ok() const { return analysis.status == AnalysisStatus::kOk; }
  const char* status() const { return status_name(analysis.status); }
  const std::string& error() const { return analysis.message; }
};

// The checked problem of the fields, or the message that refuses them (naming the field).
std::variant<Problem, std::string> problem_of(const ScenarioInput& input);

// Checks and analyses the scenario. Never throws.
ScenarioOutcome evaluate_scenario(const ScenarioInput& input, const CommandQuestions& questions,
                                  const std::atomic<bool>* cancel);

}  // namespace tarven::cli
