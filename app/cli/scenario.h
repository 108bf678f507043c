#pragma once

// One scenario of the command line: its fields as given, and everything the commands report of
// it, computed by the library. A scenario whose fields the problem's checks refuse is reported as
// invalid with their message; every other outcome comes from the evaluation.

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "tarven/evaluate.h"
#include "tarven/rates.h"

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

// What every scenario of one command is asked.
struct Questions {
  std::vector<std::string> thresholds{"0.8"};  // decimal text, in the order given
  double alpha = 0.05;
  std::vector<double> quantiles{kDefaultQuantileLevels.begin(), kDefaultQuantileLevels.end()};
  Engine engine = Engine::kSingle;
  int threads = 0;      // threads per evaluation, 0 = all cores
  bool timing = false;  // measure the processor time of each scenario
};

enum class ScenarioStatus { kOk, kInvalid, kNumericalError, kAbandoned, kOutOfMemory, kCancelled };

// The status column's word for a status.
const char* status_word(ScenarioStatus status);

struct ScenarioOutcome {
  ScenarioStatus status = ScenarioStatus::kInvalid;
  std::string error;                                      // why the status is not ok; empty when ok
  std::optional<Problem> problem;                         // when the fields passed the checks
  Result result;                                          // when evaluated
  Rates rates;                                            // when ok
  std::optional<PopulationValues> population;             // pre-screened, large-sample
  std::optional<PopulationValues> population_unscreened;  // the same without pre-screening
  std::optional<double> cpu_seconds;                      // when timing was asked for
};

// The checked problem of the fields, or the message that refuses them (naming the field).
std::variant<Problem, std::string> problem_of(const ScenarioInput& input);

// Checks and evaluates the scenario and computes what the questions ask. Never throws.
ScenarioOutcome evaluate_scenario(const ScenarioInput& input, const Questions& questions,
                                  const std::atomic<bool>* cancel);

}  // namespace tarven::cli
