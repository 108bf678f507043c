#include "cli/scenario.h"

#include <time.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <new>

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

ScenarioStatus status_of(Status status) {
  switch (status) {
    case Status::kOk:
      return ScenarioStatus::kOk;
    case Status::kAbandoned:
      return ScenarioStatus::kAbandoned;
    case Status::kNumericalStop:
      return ScenarioStatus::kNumericalError;
    case Status::kOutOfMemory:
      return ScenarioStatus::kOutOfMemory;
    case Status::kCancelled:
      return ScenarioStatus::kCancelled;
  }
  return ScenarioStatus::kNumericalError;
}

std::string error_of(const Result& r) {
  switch (r.status) {
    case Status::kOk:
      return {};
    case Status::kAbandoned:
      return "no acceptable probability for " + std::to_string(r.abandonment.minority_hires) +
             " minority hires after " + std::to_string(r.abandonment.attempts) +
             " narrower integration attempts";
    case Status::kNumericalStop:
      return r.stop.routine + ": " + r.stop.message + ", error number " +
             std::to_string(r.stop.error_number);
    case Status::kOutOfMemory:
      return "not enough memory for a problem of this size";
    case Status::kCancelled:
      return "interrupted";
  }
  return {};
}

}  // namespace

const char* status_word(ScenarioStatus status) {
  switch (status) {
    case ScenarioStatus::kOk:
      return "ok";
    case ScenarioStatus::kInvalid:
      return "invalid";
    case ScenarioStatus::kNumericalError:
      return "numerical_error";
    case ScenarioStatus::kAbandoned:
      return "abandoned";
    case ScenarioStatus::kOutOfMemory:
      return "out_of_memory";
    case ScenarioStatus::kCancelled:
      return "interrupted";
  }
  return "";
}

std::variant<Problem, std::string> problem_of(const ScenarioInput& input) {
  if (input.fault) return *input.fault;
  std::array<double, kInputColumns.size()> values{};
  for (std::size_t f = 0; f < kInputColumns.size(); ++f) {
    const std::string& text = input.fields[f];
    if (text.empty()) return std::string(kInputColumns[f]) + ": missing";
    const ParsedNumber number = parse_number(text);
    if (number.fault == NumberFault::kNotANumber)
      return std::string(kInputColumns[f]) + ": \"" + text + "\" is not a number";
    if (number.fault == NumberFault::kOutOfRange) return out_of_range(f, text);
    values[f] = number.value;
  }
  // Counts may be written as whole numbers in any number form ("300", "300.0", "3e2"); a count
  // with a fraction is refused as not a whole number rather than cut.
  std::array<std::int64_t, 3> counts{};
  for (std::size_t f = 0; f < counts.size(); ++f) {
    const double v = values[f];
    if (v != std::floor(v))
      return std::string(kInputColumns[f]) + ": \"" + input.fields[f] + "\" is not a whole number";
    if (std::fabs(v) > 9e15) return out_of_range(f, input.fields[f]);
    counts[f] = static_cast<std::int64_t>(v);
  }
  ProblemOrError made =
      Problem::make(counts[0], counts[1], counts[2], values[3], values[4], values[5]);
  if (auto* error = std::get_if<ProblemError>(&made)) return error->message();
  return std::get<Problem>(made);
}

ScenarioOutcome evaluate_scenario(const ScenarioInput& input, const Questions& questions,
                                  const std::atomic<bool>* cancel) {
  ScenarioOutcome out;
  std::variant<Problem, std::string> checked = problem_of(input);
  if (auto* message = std::get_if<std::string>(&checked)) {
    out.status = ScenarioStatus::kInvalid;
    out.error = *message;
    return out;
  }
  const Problem& p = std::get<Problem>(checked);
  out.problem = p;

  const double cpu_start = questions.timing ? thread_cpu_seconds() : 0.0;
  try {
    Options options = Options::fast();
    options.engine = questions.engine;
    options.threads = questions.threads;
    options.cancel = cancel;
    out.result = evaluate(p, options);
    out.status = status_of(out.result.status);
    out.error = error_of(out.result);
    for (const PairResult& pair : out.result.pairs) {
      if (out.status == ScenarioStatus::kOk && !pair.converged) {
        // The value is there, but not to the accuracy the engine promises: not ok.
        out.status = ScenarioStatus::kNumericalError;
        out.error = "the integral of pair " + std::to_string(pair.k) +
                    " did not reach its tolerance (error estimate " +
                    std::to_string(pair.error_estimate) + ")";
      }
    }
    if (out.status == ScenarioStatus::kOk) {
      std::vector<Split> splits;
      splits.reserve(out.result.distribution.size());
      for (const DistributionRow& row : out.result.distribution)
        splits.push_back(Split{row.n_minority_hired, row.n_majority_hired, row.prob});
      RatesRequest request;
      request.n_majority = p.n_majority();
      request.n_minority = p.n_minority();
      request.n_hired = p.n_hired();
      request.splits = splits;
      request.thresholds = questions.thresholds;
      request.alpha = questions.alpha;
      request.quantile_levels = questions.quantiles;
      Outcome<Rates> rates = compute_rates(request);
      if (rates.value) {
        out.rates = std::move(*rates.value);
      } else {
        out.status = ScenarioStatus::kNumericalError;
        out.error = rates.error;
      }
    }
    const double majority_share = static_cast<double>(p.n_majority()) / p.n_total();
    const double hired_share = static_cast<double>(p.n_hired()) / p.n_total();
    out.population = population_values(p).value;
    out.population_unscreened =
        unscreened_population_values(majority_share, hired_share, p.d()).value;
  } catch (const std::bad_alloc&) {
    out.status = ScenarioStatus::kOutOfMemory;
    out.error = "not enough memory for a problem of this size";
  }
  if (questions.timing) out.cpu_seconds = thread_cpu_seconds() - cpu_start;
  return out;
}

}  // namespace tarven::cli
