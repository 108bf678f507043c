#pragma once

// One scenario of the command line: its fields as given, and its analysis by the library. A
// scenario whose fields the problem's checks refuse is reported as invalid with their message;
// every other outcome is the library's.

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tarven/analysis.h"

namespace tarven::cli {

// The fields that may state a scenario, in the library's order of its inputs (kScenarioInputNames).
inline constexpr std::array<const char*, kScenarioInputNames.size()> kInputColumns = [] {
  std::array<const char*, kScenarioInputNames.size()> names{};
  for (std::size_t f = 0; f < names.size(); ++f) names[f] = kScenarioInputNames[f].name;
  return names;
}();
// Where a scenario file's header has what: the fields that state the scenario, the id, and the
// columns passed through to the output (the shares among them, which are fields as well).
struct ScenarioColumns {
  std::array<std::optional<std::size_t>, kInputColumns.size()> fields;
  std::optional<std::size_t> id;  // scenario_id
  std::vector<std::size_t> passthrough;
  std::vector<std::string> passthrough_names;
};
// An error text when the header cannot state scenarios: every missing column named with the near
// misses, a file separated by something else than commas, a column without a name.
std::variant<ScenarioColumns, std::string> scenario_columns(const std::vector<std::string>& header);

// The shares are no column of the summary, which states the counts they give; they are passed
// through to the output as given, beside the scenario's other columns.
bool is_share(std::string_view column);

struct ScenarioInput {
  std::string id;                        // scenario_id
  std::vector<std::string> passthrough;  // the other columns of the row (and the shares), as given
  std::array<std::string, kInputColumns.size()> fields;  // as given; empty when not given
  std::optional<std::string> fault;                      // a row that could not be read at all

  // The field called `name` (one of kInputColumns), as given.
  std::string& field(std::string_view name);
  const std::string& field(std::string_view name) const;
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
