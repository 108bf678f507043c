#include <atomic>
#include <chrono>
#include <cmath>
#include <new>

#include "core/distribution.h"
#include "core/evaluation.h"
#include "core/group_means.h"
#include "core/seams.h"
#include "core/summary.h"
#include "engine/nested/nested_engine.h"
#include "engine/single/single_evaluation.h"
#include "model/diagnostics.h"
#include "model/pair_plan.h"
#include "model/population.h"
#include "model/window.h"
#include "numlib/messages.h"
#include "numlib/quadpack.h"

namespace tarven::core {
namespace {

MessageLevel level_of(numlib::Level level) {
  switch (level) {
    case numlib::Level::kWarning:
      return MessageLevel::kWarning;
    case numlib::Level::kRecoverable:
      return MessageLevel::kRecoverable;
    case numlib::Level::kFatal:
      return MessageLevel::kFatal;
  }
  return MessageLevel::kFatal;
}

DiagnosticKind kind_of(model::DiagnosticSource source) {
  switch (source) {
    case model::DiagnosticSource::kDist:
      return DiagnosticKind::kDistribution;
    case model::DiagnosticSource::kInner:
      return DiagnosticKind::kInnerIntegral;
    case model::DiagnosticSource::kOuter:
      return DiagnosticKind::kOuterIntegral;
    case model::DiagnosticSource::kFatal:
      return DiagnosticKind::kFatal;
  }
  return DiagnosticKind::kFatal;
}

PairOutcome outcome_of(engine::nested::AttemptOutcome outcome) {
  using engine::nested::AttemptOutcome;
  switch (outcome) {
    case AttemptOutcome::kAccepted:
      return PairOutcome::kAccepted;
    case AttemptOutcome::kCapped:
      return PairOutcome::kCapped;
    case AttemptOutcome::kAboveOne:
      return PairOutcome::kAboveOne;
    case AttemptOutcome::kFell:
      return PairOutcome::kFell;
    case AttemptOutcome::kSaturated:
      return PairOutcome::kSaturated;
  }
  return PairOutcome::kAccepted;
}

// Beyond this chance of a score outside the standard window, the window follows the groups; it
// is the smallest probability the report prints.
constexpr double kWindowMoveLevel = 1e-5;
// What the window that follows the groups may leave out.
constexpr double kWindowMass = 1e-12;
// A nested pair value further than this from the exact one is more than the standard window's
// cut of at most 1e-5 explains, and enough to move a printed digit.
constexpr double kCheckTolerance = 2e-5;

// How often the observer hears how far the pairs have come.
constexpr std::chrono::milliseconds kProgressInterval{100};

// One evaluation: everything it reports is collected here, on the calling thread, in the order a
// serial evaluation makes it, counted against the library's print limit of this evaluation alone,
// and passed on to the observer.
class Evaluation final : public engine::nested::NestedListener {
 public:
  Evaluation(Observer* observer, const std::atomic<bool>* cancel)
      : observer_(observer), cancel_(cancel) {}

  void run(const Problem& problem, const Options& options);
  // Records the stored pair values that the exact engine puts further off than kCheckTolerance.
  void check_pairs(const Problem& problem, const model::PairPlan& plan,
                   const std::vector<double>& stored, const Options& options);
  void out_of_memory() { result_.status = Status::kOutOfMemory; }
  Result take();

  void report(const model::Diagnostic& d) override;
  void attempted(const engine::nested::AttemptRecord& record) override;
  bool stopped() const override { return stop_.load(std::memory_order_relaxed); }
  const std::atomic<bool>* stop_flag() const override { return &stop_; }
  // Reports progress now and then, and turns the caller's cancellation into a stop that the
  // integrals under way notice at once.
  void beat() override;

 private:
  // Ends the evaluation when the caller has asked for it; true when it did.
  bool cancelled();

  Observer* observer_;
  const std::atomic<bool>* cancel_;
  Result result_;
  numlib::MessageLog log_;
  std::atomic<bool> stop_{false};
  int npair_ = 0;
  int decided_ = 0;  // pairs whose value is settled
  std::chrono::steady_clock::time_point last_progress_ = std::chrono::steady_clock::now();
};

void Evaluation::run(const Problem& problem, const Options& options) {
  result_.engine = Engine::kNested;
  model::Population population =
      model::make_population(problem.d(), problem.rho(), problem.cutoff(), problem.n_majority(),
                             problem.n_minority(), problem.n_hired(), options.keep_constants);
  numlib::QuadWorkspace work(model::kDistLimit);

  if (cancelled()) return;
  const core::GroupMeanCheck means = core::check_group_means(population, work, *this);
  if (stopped() || cancelled()) return;
  result_.integrated_means = means.integrated;
  result_.closed_form_means = means.closed_form;
  if (observer_ != nullptr) observer_->group_means(means.integrated, means.closed_form);

  result_.window_probability = model::outside_window_probability(population, work);
  if (result_.window_probability > kWindowMoveLevel) {
    // The standard window would cut off more than the printed digits can hide: it follows the
    // groups instead, wide enough to lose no more than 1e-12.
    population.window = model::window_covering(population, kWindowMass);
    result_.window = IntegrationWindow{population.window.low, population.window.high, true};
  }
  if (observer_ != nullptr) observer_->window(result_.window_probability, result_.window);

  const model::PairPlan plan =
      model::make_pair_plan(problem.n_majority(), problem.n_minority(), problem.n_hired());
  if (observer_ != nullptr) observer_->pairs_started(plan.npair);
  npair_ = plan.npair;

  engine::nested::NestedSettings settings;
  settings.threads = thread_count(options);
  settings.memo = options.memo;
  settings.adjust_result = seams().adjust_result;
  settings.outer_ier = seams().outer_ier;
  const engine::nested::Enumeration e =
      engine::nested::evaluate_pairs_nested(population, settings, *this);
  if (e.stopped || stopped()) return;
  if (e.abandoned) {
    result_.status = Status::kAbandoned;
    result_.abandonment = Abandonment{e.abandoned_w, e.abandoned_after};
    return;
  }
  result_.distribution = build_distribution(plan, e.prob);
  summarize(result_);
  if (options.check_pairs) check_pairs(problem, plan, e.prob, options);
  if (observer_ != nullptr && !stopped()) observer_->progress(npair_, npair_);
}

void Evaluation::check_pairs(const Problem& problem, const model::PairPlan& plan,
                             const std::vector<double>& stored, const Options& options) {
  const engine::single::SingleEnumeration exact = engine::single::evaluate_pairs_single(
      single_problem(problem), plan, thread_count(options), cancel_);
  if (exact.cancelled) {
    result_.status = Status::kCancelled;
    return;
  }
  for (int k = 1; k <= plan.npair; ++k) {
    const double nested = stored[static_cast<std::size_t>(k) - 1];
    const double value = exact.values[static_cast<std::size_t>(k) - 1].value;
    const double difference = std::fabs(nested - value);
    if (difference > kCheckTolerance)
      result_.discrepancies.push_back(
          PairDiscrepancy{k, plan.w(k), plan.i(k), plan.j(k), nested, value, difference});
  }
}

Result Evaluation::take() {
  for (const numlib::MessageCount& m : log_.entries())
    result_.messages.push_back(
        LibraryMessage{m.routine, m.text, m.number, level_of(m.level), m.count});
  result_.untabulated_messages = log_.untabulated();
  return std::move(result_);
}

bool Evaluation::cancelled() {
  if (cancel_ == nullptr || !cancel_->load(std::memory_order_relaxed)) return false;
  if (!stopped()) {
    result_.status = Status::kCancelled;
    stop_.store(true, std::memory_order_relaxed);
  }
  return true;
}

void Evaluation::report(const model::Diagnostic& d) {
  // After a stop the library has ended the run: what is still computed is thrown away unseen.
  if (stopped()) return;
  Diagnostic out;
  out.kind = kind_of(d.source);
  out.ier = d.ier;
  out.abscissa = d.abscissa;
  out.abserr = d.abserr;
  out.subintervals = d.subintervals;
  const model::LibraryMessage m = model::library_message(d);
  out.routine = m.raised ? std::string(m.routine) : std::string("DQAGE");
  if (m.raised) {
    out.message_raised = true;
    out.message = std::string(m.text);
    out.level = level_of(m.level);
    out.suppressed = !log_.record(m.routine, m.text, m.number, m.level);
    if (m.level != numlib::Level::kWarning) {
      out.stops = true;
      result_.status = Status::kNumericalStop;
      result_.stop = NumericalStop{out.routine, m.number, out.message};
    }
  }
  result_.diagnostics.push_back(out);
  if (observer_ != nullptr) observer_->diagnostic(result_.diagnostics.back());
  if (out.stops) stop_.store(true, std::memory_order_relaxed);
}

void Evaluation::attempted(const engine::nested::AttemptRecord& record) {
  PairResult p;
  p.k = record.k;
  p.w = record.w;
  p.i = record.i;
  p.j = record.j;
  p.a = record.a;
  p.b = record.b;
  p.lbeta1 = record.attempt.lbeta1;
  p.value = record.attempt.r;
  p.error_estimate = record.attempt.abserr;
  p.outcome = outcome_of(record.outcome);
  p.stored = record.prob;
  if (p.outcome == PairOutcome::kSaturated) p.value = 1.0;
  result_.pairs.push_back(p);
  if (observer_ != nullptr) observer_->pair(result_.pairs.back());
  if (record.outcome != engine::nested::AttemptOutcome::kAboveOne &&
      record.outcome != engine::nested::AttemptOutcome::kFell)
    decided_ = record.k;
  beat();
  cancelled();
}

void Evaluation::beat() {
  if (cancelled() || observer_ == nullptr) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_progress_ < kProgressInterval) return;
  last_progress_ = now;
  observer_->progress(decided_, npair_);
  cancelled();
}

}  // namespace

Result evaluate_nested(const Problem& problem, const Options& options, Observer* observer) {
  Evaluation evaluation(observer, options.cancel);
  try {
    evaluation.run(problem, options);
  } catch (const std::bad_alloc&) {
    // What was computed before the allocation failed stays in the result, for the console's
    // summary of the library's messages.
    evaluation.out_of_memory();
  }
  return evaluation.take();
}

}  // namespace tarven::core
