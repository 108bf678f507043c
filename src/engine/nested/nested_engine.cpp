#include "engine/nested/nested_engine.h"

#include <memory>
#include <system_error>

#include "engine/nested/parallel_pair_source.h"
#include "model/dist_memo.h"
#include "model/pair_plan.h"
#include "model/pair_state.h"

namespace tarven::engine::nested {
namespace {

// The straightforward evaluation: one attempt after the other on one pair state.
class SerialPairSource final : public PairSource {
 public:
  SerialPairSource(const model::Population& population, model::DistMemo* memo,
                   NestedListener& listener)
      : state_(population, listener) {
    state_.memo = memo;
    state_.cancel = listener.stop_flag();
    state_.heartbeat = &listener;
  }
  PairAttempt attempt(int /*k*/, int i, int j, double a, double b) override {
    state_.jorder = j;
    state_.iorder = i;
    return attempt_pair(state_, outer_work_, a, b);
  }

 private:
  model::PairState state_;
  numlib::QuadWorkspace outer_work_{kOuterLimit};
};

// Hands every result through the settings' test hooks on its way to the enumeration.
class HookedPairSource final : public PairSource {
 public:
  HookedPairSource(PairSource& source, const NestedSettings& settings, model::DiagnosticSink& sink)
      : source_(source), settings_(settings), sink_(sink) {}
  PairAttempt attempt(int k, int i, int j, double a, double b) override {
    PairAttempt attempt = source_.attempt(k, i, j, a, b);
    if (settings_.outer_ier) {
      if (const int ier = settings_.outer_ier(k, a, b); ier != 0)
        sink_.report(
            model::Diagnostic{model::DiagnosticSource::kOuter, ier, 0.0, attempt.abserr, 1});
    }
    if (settings_.adjust_result) attempt.r = settings_.adjust_result(k, a, b, attempt.r);
    return attempt;
  }
  void pair_finished(int k) override { source_.pair_finished(k); }
  void enumeration_stopped() override { source_.enumeration_stopped(); }

 private:
  PairSource& source_;
  const NestedSettings& settings_;
  model::DiagnosticSink& sink_;
};

}  // namespace

Enumeration evaluate_pairs_nested(const model::Population& population,
                                  const NestedSettings& settings, NestedListener& listener) {
  const model::PairPlan plan =
      model::make_pair_plan(population.nmaj, population.nmin, population.nsel);
  // Allocated once for the whole enumeration; it serves only this problem's plain densities.
  std::unique_ptr<model::DistMemo> memo;
  if (settings.memo)
    memo = std::make_unique<model::DistMemo>(model::DistMemo::minority_entries_for(plan.npair));

  // Workers pay off only when there is more than one pair to spread over them.
  std::unique_ptr<PairSource> source;
  if (settings.threads > 1 && plan.npair > 1) {
    try {
      source = std::make_unique<ParallelPairSource>(population, memo.get(), listener, plan,
                                                    settings.threads);
    } catch (const std::system_error&) {
      // Not a single worker thread could be started: the serial evaluation gives the same bits.
    }
  }
  if (!source) source = std::make_unique<SerialPairSource>(population, memo.get(), listener);
  HookedPairSource hooked(*source, settings, listener);
  return enumerate_pairs(plan, population.window, hooked, listener);
}

}  // namespace tarven::engine::nested
