#pragma once

// The summary of a scenario as the command line writes it: one CSV row or one JSON object, with
// the same names in the same order. The columns between the pass-through columns and cpu_seconds
// are the library's summary_fields; around them the command line adds the scenario's id and its
// pass-through columns, the processor time and the version.

#include <string>
#include <variant>
#include <vector>

#include "cli/scenario.h"

namespace tarven::cli {

struct SummaryLayout {
  std::vector<std::string> passthrough;  // names of the pass-through columns, in input order
  CommandQuestions questions;
};

// The layout of the questions; an error text for questions the library refuses, or for a
// pass-through column named like a column the summary writes (usage errors).
std::variant<SummaryLayout, std::string> summary_layout(std::vector<std::string> passthrough,
                                                        const CommandQuestions& questions);

std::vector<std::string> summary_header(const SummaryLayout& layout);

// The row's fields as text: counts as integers, other numbers in shortest round-trip form, NA
// where there is no value. A refused scenario echoes its input fields as given.
std::vector<std::string> summary_row(const SummaryLayout& layout, const ScenarioInput& input,
                                     const ScenarioOutcome& outcome);

// One JSON object: scenario_id, "input" (the pass-through columns as given, shares as numbers, and
// the problem's columns), engine,
// alpha, status, error, and "summary" (every other column by its name); null where the CSV has
// NA. With `with_distribution`, also "distribution": every split. One line, or indented by
// `indent`.
std::string summary_json(const SummaryLayout& layout, const ScenarioInput& input,
                         const ScenarioOutcome& outcome, bool with_distribution = false,
                         int indent = -1);

// The tidy distribution of an evaluated scenario: one line per split (no header).
inline constexpr const char* kDistributionHeader =
    "scenario_id,n_minority_hired,n_majority_hired,sr_minority,sr_majority,ai,prob,cum_prob";
std::string distribution_lines(const ScenarioInput& input, const ScenarioOutcome& outcome);

}  // namespace tarven::cli
