#include "cli/scenario.h"

#include <time.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "cli/column_names.h"

namespace tarven::cli {
namespace {

// The whole field as std::from_chars reads a number, finite.
std::optional<double> number_of(const std::string& text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

// Processor time of the calling thread, which evaluates the scenario.
double thread_cpu_seconds() {
  timespec t{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0.0;
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::size_t column_index(std::string_view name) {
  for (std::size_t f = 0; f < kInputColumns.size(); ++f)
    if (name == kInputColumns[f]) return f;
  return kInputColumns.size();  // a caller's mistake: at() below throws
}

}  // namespace

std::variant<ScenarioColumns, std::string> scenario_columns(
    const std::vector<std::string>& header) {
  if (std::optional<std::string> fault = header_fault(header)) return *fault;
  // Each entry one column, or the columns of which a row gives exactly one.
  const std::vector<std::vector<std::string>> needs{{"n_total"},
                                                    {"n_majority", "n_minority", "minority_share"},
                                                    {"n_hired", "selection_ratio"},
                                                    {"d"},
                                                    {"rho"},
                                                    {"retention"}};
  if (std::optional<std::string> missing = missing_columns(header, needs)) return *missing;
  ScenarioColumns columns;
  std::vector<bool> used(header.size(), false);
  auto index_of = [&](std::string_view name) -> std::optional<std::size_t> {
    const auto at = std::find(header.begin(), header.end(), name);
    if (at == header.end()) return std::nullopt;
    return static_cast<std::size_t>(at - header.begin());
  };
  for (std::size_t f = 0; f < kInputColumns.size(); ++f) {
    columns.fields[f] = index_of(kInputColumns[f]);
    if (columns.fields[f]) used[*columns.fields[f]] = !is_share(kInputColumns[f]);
  }
  columns.id = index_of("scenario_id");
  if (columns.id) used[*columns.id] = true;
  for (std::size_t c = 0; c < header.size(); ++c) {
    if (used[c]) continue;
    columns.passthrough.push_back(c);
    columns.passthrough_names.push_back(header[c]);
  }
  return columns;
}

bool is_share(std::string_view column) {
  return column == "minority_share" || column == "selection_ratio";
}

std::string& ScenarioInput::field(std::string_view name) {
  return fields.at(column_index(name));
}

const std::string& ScenarioInput::field(std::string_view name) const {
  return fields.at(column_index(name));
}

std::variant<Problem, std::string> problem_of(const ScenarioInput& input) {
  if (input.fault) return *input.fault;
  std::array<std::optional<double>, kInputColumns.size()> values{};
  for (std::size_t f = 0; f < kInputColumns.size(); ++f) {
    const std::string& text = input.fields[f];
    if (text.empty()) continue;  // the library names what is missing
    values[f] = number_of(text);
    if (!values[f]) return std::string(kInputColumns[f]) + ": \"" + text + "\" is not a number";
  }
  ScenarioInputs inputs;
  inputs.n_total = values[0];
  inputs.n_majority = values[1];
  inputs.n_minority = values[2];
  inputs.minority_share = values[3];
  inputs.n_hired = values[4];
  inputs.selection_ratio = values[5];
  inputs.d = values[6];
  inputs.rho = values[7];
  inputs.retention = values[8];
  std::variant<Problem, InputsError> made = problem_from(inputs);
  if (auto* error = std::get_if<InputsError>(&made)) return error->message;
  return std::get<Problem>(made);
}

ScenarioOutcome evaluate_scenario(const ScenarioInput& input, const CommandQuestions& questions,
                                  const std::atomic<bool>* cancel) {
  ScenarioOutcome out;
  out.analysis.result.engine = questions.engine;
  std::variant<Problem, std::string> checked = problem_of(input);
  if (auto* message = std::get_if<std::string>(&checked)) {
    out.analysis.status = AnalysisStatus::kInvalidQuestions;
    out.analysis.message = *message;
    return out;
  }
  out.problem = std::get<Problem>(checked);

  const double cpu_start = questions.timing ? thread_cpu_seconds() : 0.0;
  Options options;
  options.engine = questions.engine;
  options.threads = questions.threads;
  options.cancel = cancel;
  out.analysis = analyse(*out.problem, questions, options);
  if (questions.timing) out.cpu_seconds = thread_cpu_seconds() - cpu_start;
  return out;
}

}  // namespace tarven::cli
