#pragma once

// What an evaluation hands back: its status, every pair it computed, the exact distribution of the
// split of the hires with the adverse impact ratio (AI) of every split, the expected values and
// percentiles, and every diagnostic the numerics raised, as data.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tarven/options.h"

namespace tarven {

enum class Status {
  kOk,
  kAbandoned,      // a pair's probability could not be computed acceptably (see abandonment)
  kNumericalStop,  // the numerical library stopped the evaluation (see stop)
  kOutOfMemory,    // the problem does not fit in this machine's memory
  kCancelled,      // Options::cancel was set before the evaluation ended
  kUnavailable,    // the engine asked for is not in this build of the library
};

struct Abandonment {
  int minority_hires = 0;  // the number of minority hires whose probability could not be computed
  int attempts = 0;        // narrower attempts made for it before giving up
};

struct NumericalStop {
  std::string routine;  // e.g. "DQAG", "DLBETA"
  int error_number = 0;
  std::string message;  // the library's text, e.g. "ABNORMAL RETURN"
};

enum class PairOutcome {
  kAccepted,   // stored as computed
  kCapped,     // a hair above 1: stored as exactly 1
  kAboveOne,   // above 1: retried on a narrower interval, or the evaluation abandoned
  kFell,       // below the previous pair: retried, or the evaluation abandoned
  kSaturated,  // the previous pair was within 1e-6 of 1: stored as 1, not computed
};

// One attempt at a cumulative probability P(M <= w), M the number of minority hires: the
// probability that the j-th lowest minority score lies below the i-th lowest majority score.
struct PairResult {
  int k = 0;  // pair counter, 1 for the smallest feasible w
  int w = 0;
  int i = 0;
  int j = 0;
  double a = 0.0;  // the integration interval of the attempt (the whole line: -inf, inf)
  double b = 0.0;
  double lbeta1 = 0.0;  // ln B(n_majority - i + 1, i)
  double value = 0.0;   // the probability as computed
  double error_estimate = 0.0;
  // The integral reached its tolerance (single-integral engine; the nested engine's decisions are
  // its outcome).
  bool converged = true;
  PairOutcome outcome = PairOutcome::kAccepted;
  double stored = 0.0;  // the value kept for the pair (accepted, capped or saturated)
  bool accepted() const {
    return outcome == PairOutcome::kAccepted || outcome == PairOutcome::kCapped ||
           outcome == PairOutcome::kSaturated;
  }
};

// One feasible split of the hires, in increasing order of minority hires (and so of AI).
struct DistributionRow {
  int n_minority_hired = 0;  // N2
  int n_majority_hired = 0;  // N1
  double sr_minority = 0.0;  // N2 / n_minority
  double sr_majority = 0.0;  // N1 / n_majority
  std::optional<double> ai;  // sr_minority / sr_majority; undefined without a majority hire
  double prob = 0.0;         // probability of the split
  double cum_prob = 0.0;     // running sum of prob over the rows up to this one
  double p_at_most = 0.0;    // P(M <= N2) as computed by the pairs (1 for the last row)
};

struct GroupMeans {
  double minority = 0.0;  // mean predictor score of the pre-screened minority group
  double majority = 0.0;
};

enum class DiagnosticKind {
  kDistribution,   // a distribution integral (routine DQAGI) ended abnormally at `abscissa`
  kInnerIntegral,  // a pair's inner integral (routine DQAGE) up to `abscissa` ended abnormally
  kOuterIntegral,  // a pair's outer integral (routine DQAG) ended abnormally
  kFatal,          // a fatal library error (routine DLBETA)
};

enum class MessageLevel { kWarning, kRecoverable, kFatal };

struct Diagnostic {
  DiagnosticKind kind = DiagnosticKind::kDistribution;
  std::string routine;
  int ier = 0;  // the integrator's error code, or the library's error number
  double abscissa = 0.0;
  double abserr = 0.0;
  int subintervals = 0;
  // The numerical library raises a message for this diagnostic (all but kInnerIntegral)...
  bool message_raised = false;
  std::string message;  // ...with this text and level
  MessageLevel level = MessageLevel::kWarning;
  // ...which is left unprinted because this message was already printed 10 times in this
  // evaluation.
  bool suppressed = false;
  bool stops = false;  // this diagnostic stopped the evaluation
};

// The library's messages of an evaluation, one entry per distinct message, in order of first
// occurrence, with how often each occurred.
struct LibraryMessage {
  std::string routine;
  std::string text;
  int number = 0;
  MessageLevel level = MessageLevel::kWarning;
  int count = 0;
};

struct IntegrationWindow {
  double low = -6.5;
  double high = 6.5;
  bool moved = false;  // not the standard [-6.5, 6.5]
};

// A pair value of the nested engine that the single-integral engine, exact to 1e-12, puts further
// off than the window's cut of at most 1e-5 can explain.
struct PairDiscrepancy {
  int k = 0;
  int w = 0;
  int i = 0;
  int j = 0;
  double nested = 0.0;  // the value the enumeration stored
  double exact = 0.0;
  double difference = 0.0;  // |nested - exact|
};

// Percentile levels of AI in percent, in the order of Result::percentiles.
inline constexpr std::array<int, 7> kPercentileLevels{5, 10, 25, 50, 75, 90, 95};

struct Result {
  Status status = Status::kOk;
  Engine engine = Engine::kSingle;  // the engine that computed it
  Abandonment abandonment;          // when status is kAbandoned
  NumericalStop stop;               // when status is kNumericalStop

  GroupMeans closed_form_means;  // by the closed formula
  // Nested engine only (the single-integral engine needs neither): the means by integrating the
  // pre-screened densities up to 7, and the probability that a sample has a score outside the
  // standard integration window [-6.5, 6.5].
  GroupMeans integrated_means;
  double window_probability = 0.0;
  // The window the nested engine integrates over: the standard one, or, where a score outside it
  // is more likely than 1e-5, one that follows the groups and holds both to within 1e-12.
  IntegrationWindow window;

  std::vector<PairResult> pairs;  // every attempt in the order made, retries included

  // The rest is filled only when status is kOk.
  std::vector<DistributionRow> distribution;  // every feasible split
  double expected_sr_majority = 0.0;
  double expected_sr_minority = 0.0;
  // Expected AI over the splits where it is defined; undefined when they carry no probability.
  std::optional<double> expected_ai;
  // AI of the first split whose cumulative probability reaches each level of kPercentileLevels;
  // undefined where that split has no majority hire.
  std::array<std::optional<double>, kPercentileLevels.size()> percentiles{};

  // The nested engine's pairs that the exact engine disagrees with by more than 2e-5 (checked
  // when Options::check_pairs is on and the evaluation is ok).
  std::vector<PairDiscrepancy> discrepancies;

  std::vector<Diagnostic> diagnostics;   // in the order they occurred
  std::vector<LibraryMessage> messages;  // the library's message counts
  long untabulated_messages = 0;         // messages beyond the table of distinct ones
};

}  // namespace tarven
