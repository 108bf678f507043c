#include "cli/scenario.h"

#include <time.h>

#include <charconv>
#include <cmath>
#include <cstdint>

#include "cli/csv.h"

namespace tarven::cli {
namespace {

// A limit as the library writes it: 0.000001, not 1e-06.
std::string limit_text(double v) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

// A value beyond any that field may take (1e400, or a count of 1e20), in the words of the
// library's refusals, with the text as given.
std::string out_of_range(std::size_t f, const std::string& text) {
  constexpr double kLow[] = {2, 1, 1, -kMaxAbsD, -kMaxAbsRho, kMinRetention};
  constexpr double kHigh[] = {kMaxTotal, kMaxTotal - 1, kMaxTotal,
                              kMaxAbsD,  kMaxAbsRho,    kMaxRetention};
  const ProblemError error{
      static_cast<ProblemField>(f), ProblemFault::kOutOfRange, kInputColumns[f], text,
      "out of range (from " + limit_text(kLow[f]) + " to " + limit_text(kHigh[f]) + ")"};
  return error.message();
}

// Processor time of the calling thread, which evaluates the scenario.
double thread_cpu_seconds() {
  timespec t{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0.0;
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

std::variant<Problem, std::string> problem_of(const ScenarioInput& input) {
  if (input.fault) return *input.fault;
  std::array<std::optional<double>, kInputColumns.size()> values{};
  for (std::size_t f = 0; f < kInputColumns.size(); ++f) {
    const std::string& text = input.fields[f];
    if (text.empty()) continue;  // the library names what is missing
    const ParsedNumber number = parse_number(text);
    if (number.fault == NumberFault::kNotANumber)
      return std::string(kInputColumns[f]) + ": \"" + text + "\" is not a number";
    // Counts (the first three fields) beyond 9e15 are past any count a double holds exactly.
    if (number.fault == NumberFault::kOutOfRange || (f < 3 && std::fabs(number.value) > 9e15))
      return out_of_range(f, text);
    values[f] = number.value;
  }
  ScenarioInputs inputs;
  inputs.n_total = values[0];
  inputs.n_majority = values[1];
  inputs.n_hired = values[2];
  inputs.d = values[3];
  inputs.rho = values[4];
  inputs.retention = values[5];
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
