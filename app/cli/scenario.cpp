#include "cli/scenario.h"

#include <time.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "cli/column_names.h"
#include "cli/csv.h"

namespace tarven::cli {
namespace {

// A limit as the library writes it: 0.000001, not 1e-06.
std::string limit_text(double v) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

// Whether kInputColumns[f] is a count, which a double holds exactly only up to 9e15.
bool is_count(std::size_t f) {
  const std::string_view name = kInputColumns[f];
  return name == "n_total" || name == "n_majority" || name == "n_minority" || name == "n_hired";
}

// A value beyond any that field may take (1e400, or a count of 1e20), in the words of the
// library's refusals (ProblemError::message), with the text as given.
std::string out_of_range(std::size_t f, const std::string& text) {
  constexpr double kLow[] = {2, 1, 1, 0, 1, 0, -kMaxAbsD, -kMaxAbsRho, kMinRetention};
  constexpr double kHigh[] = {kMaxTotal, kMaxTotal - 1, kMaxTotal - 1, 1, kMaxTotal, 1,
                              kMaxAbsD,  kMaxAbsRho,    kMaxRetention};
  static_assert(std::size(kLow) == kInputColumns.size() && std::size(kHigh) == std::size(kLow));
  ProblemError error;
  error.name = kInputColumns[f];
  error.value = text;
  error.allowed = "out of range (from " + limit_text(kLow[f]) + " to " + limit_text(kHigh[f]) + ")";
  return error.message();
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
  std::vector<std::vector<std::string>> needs(kScenarioInputNeeds);
  for (const ScenarioInputName& input : kScenarioInputNames)
    needs[static_cast<std::size_t>(input.need)].emplace_back(input.name);
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
  return std::any_of(
      kScenarioInputNames.begin(), kScenarioInputNames.end(),
      [&](const ScenarioInputName& input) { return input.share && input.name == column; });
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
    const ParsedNumber number = parse_number(text);
    if (number.fault == NumberFault::kNotANumber)
      return std::string(kInputColumns[f]) + ": \"" + text + "\" is not a number";
    if (number.fault == NumberFault::kOutOfRange || (is_count(f) && std::fabs(number.value) > 9e15))
      return out_of_range(f, text);
    values[f] = number.value;
  }
  ScenarioInputs inputs;
  for (std::size_t f = 0; f < kScenarioInputNames.size(); ++f)
    inputs.*kScenarioInputNames[f].member = values[f];
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
