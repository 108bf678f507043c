#pragma once

// One hiring scenario, checked: n_total applicants of whom n_majority belong to the majority
// group, n_hired hired top-down on a predictor whose majority mean exceeds the minority mean by d
// (within-group standard deviations), from an applicant pool that was pre-screened on a variable
// correlated rho with the predictor, keeping the share `retention` of the minority group.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tarven {

// The range a problem may take: counts of at most seven digits, and every problem within it
// computed in bounded time. A retained share much closer to 0 (1e-10, say) or a correlation much
// closer to +-1 makes the integrations run for minutes or longer, and groups further apart only
// leave the nested engine's integration window further behind.
inline constexpr std::int64_t kMaxTotal = 1'000'000;
inline constexpr double kMaxAbsD = 10.0;
inline constexpr double kMaxAbsRho = 0.999;
inline constexpr double kMinRetention = 1e-6;
inline constexpr double kMaxRetention = 1.0 - kMinRetention;

enum class ProblemField { kTotal, kMajority, kHired, kEffectSize, kRho, kRetention };

// Why a value was refused.
enum class ProblemFault {
  kOutOfRange,         // the value lies outside what is allowed
  kNothingRetained,    // the pre-screening would retain no applicant at all
  kNoMajorityRetained  // with this effect size and correlation, no majority applicant is retained
};

struct ProblemError {
  ProblemField field = ProblemField::kTotal;
  ProblemFault fault = ProblemFault::kOutOfRange;
  std::string name;     // the field's name: n_total, n_majority, n_hired, d, rho, retention
  std::string value;    // the value as given
  std::string allowed;  // what is allowed, in words
  // "<name> = <value>: <allowed>", one line.
  std::string message() const;
};

class Problem;
using ProblemOrError = std::variant<Problem, ProblemError>;

class Problem {
 public:
  // The only way to make a problem: checks every field (in the order of the parameters) and
  // derives the pre-screening cutoff from the retention rate.
  static ProblemOrError make(std::int64_t n_total, std::int64_t n_majority, std::int64_t n_hired,
                             double d, double rho, double retention);

  int n_total() const { return n_total_; }
  int n_majority() const { return n_majority_; }
  int n_minority() const { return n_total_ - n_majority_; }
  int n_hired() const { return n_hired_; }
  double d() const { return d_; }
  double rho() const { return rho_; }
  double retention() const { return retention_; }
  // The pre-screening cutoff on the standard normal scale: the minority group keeps the
  // applicants whose pre-screening score exceeds it, so that its retained share is `retention`.
  double cutoff() const { return cutoff_; }

 private:
  Problem() = default;
  int n_total_ = 0;
  int n_majority_ = 0;
  int n_hired_ = 0;
  double d_ = 0.0;
  double rho_ = 0.0;
  double retention_ = 0.0;
  double cutoff_ = 0.0;
};

// The checks one by one, for front ends that ask for one value at a time; make() runs them all.
std::optional<ProblemError> check_n_total(std::int64_t n_total);
std::optional<ProblemError> check_n_majority(std::int64_t n_total, std::int64_t n_majority);
std::optional<ProblemError> check_n_hired(std::int64_t n_total, std::int64_t n_hired);
std::optional<ProblemError> check_d(double d);
std::optional<ProblemError> check_rho(double rho);
std::optional<ProblemError> check_retention(double retention);
// Whether the pre-screening keeps applicants of both groups (rho and retention already checked).
std::optional<ProblemError> check_screening(double d, double rho, double retention);

// A scenario as people state it: each group size may be given as a count or as a share of
// n_total, and the hires as a count or as the selection ratio. Counts are given as numbers so that
// "300", "300.0" and "3e2" are alike and 2.5 can be refused as not whole.
struct ScenarioInputs {
  std::optional<double> n_total;
  // Exactly one of these three.
  std::optional<double> n_majority;
  std::optional<double> n_minority;
  std::optional<double> minority_share;
  // Exactly one of these two.
  std::optional<double> n_hired;
  std::optional<double> selection_ratio;
  std::optional<double> d;
  std::optional<double> rho;
  std::optional<double> retention;
};

// The inputs of a scenario by the names files, tables and forms give them, in the order they are
// shown, each with the member it fills. Inputs of one `need` are alternatives, of which a scenario
// gives exactly one (0: n_total, 1: the group sizes, 2: the hires, 3: d, 4: rho, 5: retention).
// The shares are no column of a summary, which states the counts they give.
struct ScenarioInputName {
  const char* name;
  std::optional<double> ScenarioInputs::*member;
  int need;
  bool share;
};
inline constexpr int kScenarioInputNeeds = 6;
inline constexpr std::array<ScenarioInputName, 9> kScenarioInputNames{{
    {"n_total", &ScenarioInputs::n_total, 0, false},
    {"n_majority", &ScenarioInputs::n_majority, 1, false},
    {"n_minority", &ScenarioInputs::n_minority, 1, false},
    {"minority_share", &ScenarioInputs::minority_share, 1, true},
    {"n_hired", &ScenarioInputs::n_hired, 2, false},
    {"selection_ratio", &ScenarioInputs::selection_ratio, 2, true},
    {"d", &ScenarioInputs::d, 3, false},
    {"rho", &ScenarioInputs::rho, 4, false},
    {"retention", &ScenarioInputs::retention, 5, false},
}};

// Why a scenario's inputs make no problem.
struct InputsError {
  // The inputs the refusal is about, by the names of ScenarioInputs' members (two or three where
  // the inputs conflict).
  std::vector<std::string> fields;
  std::string message;  // one line: what is wrong and what is allowed
};

// A share gives a whole number of applicants when n_total times it lies within this of one.
inline constexpr double kShareTolerance = 1e-9;

// The checked problem of the inputs: a missing input, two ways of giving one size, a count that is
// not whole, a share that does not give a whole number of applicants ("n_total × minority_share =
// 33.3: not a whole number of applicants") and every check of Problem::make are refusals.
std::variant<Problem, InputsError> problem_from(const ScenarioInputs& inputs);

}  // namespace tarven
