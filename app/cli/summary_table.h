#pragma once

// The summary of a scenario as the command line writes it: one CSV row or one JSON object, with
// the same names in the same order. The names and their meanings are the README's; the columns
// are fixed by the questions (thresholds and quantile levels) and the pass-through columns.

#include <string>
#include <vector>

#include "cli/scenario.h"

namespace tarven::cli {

struct SummaryLayout {
  std::vector<std::string> passthrough;  // names of the pass-through columns, in input order
  std::vector<std::string> threshold_suffixes;
  std::vector<std::string> quantile_suffixes;
};

// The suffixes of the questions' thresholds and quantile levels; an error text for a threshold
// or level that cannot be asked (a usage error).
std::variant<SummaryLayout, std::string> summary_layout(std::vector<std::string> passthrough,
                                                        const Questions& questions);

std::vector<std::string> summary_header(const SummaryLayout& layout);

// The row's fields as text: numbers in shortest round-trip form, NA where there is no value.
std::vector<std::string> summary_fields(const SummaryLayout& layout, const ScenarioInput& input,
                                        const ScenarioOutcome& outcome, const Questions& questions);

// One JSON object: scenario_id, "input" (the pass-through and the six fields), status, error,
// and "summary" (every other column by its name); null where the CSV has NA. With
// `with_distribution`, also "distribution": every split. One line, or indented by `indent`.
std::string summary_json(const SummaryLayout& layout, const ScenarioInput& input,
                         const ScenarioOutcome& outcome, const Questions& questions,
                         bool with_distribution = false, int indent = -1);

// The scenario_id and status of a line summary_json wrote; false when the line is not such an
// object.
bool read_summary_json(const std::string& line, std::string& id, std::string& status);

// The tidy distribution of an evaluated scenario: one line per split (no header).
inline constexpr const char* kDistributionHeader =
    "scenario_id,n_minority_hired,n_majority_hired,sr_minority,sr_majority,ai,prob,cum_prob";
std::string distribution_lines(const ScenarioInput& input, const ScenarioOutcome& outcome);

}  // namespace tarven::cli
