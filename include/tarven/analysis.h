#pragma once

// The whole question a scenario asks, answered in one call: the exact distribution of the split
// of the hires, the rates of the four-fifths rule and of the significance tests, the quantiles of
// the impact ratio and the large-sample values, with one status that says whether the numbers
// can be used. Every front end and binding wraps analyse() and builds its columns from
// summary_fields(), so that every face shows the same numbers under the same names.
//
// Quiet and re-entrant like evaluate(): analyse() never throws, never prints, keeps no state.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tarven/evaluate.h"
#include "tarven/observer.h"
#include "tarven/options.h"
#include "tarven/problem.h"
#include "tarven/rates.h"
#include "tarven/result.h"

namespace tarven {

// What is asked of every scenario besides its distribution.
struct Questions {
  // Impact-ratio thresholds T as decimal text ("0.8"), each in (0, 1], all different; the rates
  // for T are decided in exact integer arithmetic from the text (see parse_threshold).
  std::vector<std::string> thresholds{"0.8"};
  double alpha = 0.05;  // level of the Fisher exact and the pooled Z test, in (0, 1)
  // Quantile levels of the impact ratio, each in (0, 1], all different.
  std::vector<double> quantile_levels{0.05, 0.1, 0.25, 0.5, 0.75, 0.9, 0.95};
};

// Empty when every question can be asked; otherwise one line naming the question, the value and
// what is allowed ("threshold 80: must lie above 0 and at most 1; as a share, 80 % is 0.80").
std::optional<std::string> check_questions(const Questions& questions);

enum class AnalysisStatus {
  kOk,
  kInvalidQuestions,  // check_questions refused the questions; nothing was computed
  kNumericalError,    // a value did not reach the accuracy its engine promises, or the library
                      // stopped the evaluation
  kAbandoned,         // the nested engine could not compute a pair acceptably
  kOutOfMemory,       // the problem does not fit in this machine's memory
  kCancelled,         // Options::cancel was set before the analysis ended
};

// The status's word in the grid's status column: ok, invalid, numerical_error, abandoned,
// out_of_memory, interrupted.
const char* status_name(AnalysisStatus status);

struct Analysis {
  AnalysisStatus status = AnalysisStatus::kOk;
  std::string message;  // one line saying why the status is not ok; empty when ok
  Result result;        // the evaluation (empty when the questions were refused)
  Rates rates;          // when ok
  // The large-sample values in the pre-screened applicant population, and without pre-screening;
  // empty where they cannot be found. They do not depend on the evaluation.
  std::optional<PopulationValues> population;
  std::optional<PopulationValues> population_unscreened;
};

// `observer` may be nullptr. The observer's progress counts the pairs and then the rates.
Analysis analyse(const Problem& problem, const Questions& questions = {},
                 const Options& options = {}, Observer* observer = nullptr);

// One named value of the summary. Every column has one kind; its value is missing (NA in CSV,
// null in JSON, NA in R) where there is none.
enum class FieldKind {
  kNumber,  // a double, written in shortest round-trip form
  kCount,   // a whole number, written as an integer
  kText,
};
struct SummaryField {
  std::string name;
  FieldKind kind = FieldKind::kNumber;
  std::variant<std::monostate, double, std::int64_t, std::string> value;
  bool missing() const { return std::holds_alternative<std::monostate>(value); }
};

// The summary columns of a scenario, in order: n_total, n_majority, n_minority, n_hired, d, rho,
// retention, cutoff_z, engine, alpha, status, error, the expectations and test rates, four columns
// per threshold (p_ai_lt_T, p_flag_two_sided_T, p_flag_and_sig_fisher_T, p_flag_and_sig_z_T, T
// written by threshold_suffix), one per quantile level (ai_qP), and the population values through
// ai_population_unscreened. `error` is missing when the status is ok; results are missing where
// the status is not ok. Questions that check_questions refuses give the input columns and the
// status only.
std::vector<SummaryField> summary_fields(const Problem& problem, const Questions& questions,
                                         const Analysis& analysis);

// The same columns, every value missing but engine, alpha, status ("invalid") and error
// (`reason`), for a scenario refused before it became a problem; a front end fills in the input
// columns it was given. The names and kinds are those of summary_fields for the same questions,
// so that a table whose rows are all refused still has its header.
std::vector<SummaryField> refused_summary_fields(const Questions& questions, Engine engine,
                                                 const std::string& reason);

}  // namespace tarven
