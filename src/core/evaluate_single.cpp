#include <boost/math/special_functions/gamma.hpp>
#include <chrono>
#include <cmath>
#include <limits>

#include "core/distribution.h"
#include "core/evaluation.h"
#include "core/seams.h"
#include "core/settle.h"
#include "core/summary.h"
#include "engine/single/single_evaluation.h"
#include "model/math_policy.h"
#include "model/normal.h"
#include "model/pair_plan.h"
#include "model/population.h"

namespace tarven::core {
namespace {

// ln B(a, b), the nested engine's normaliser of the pair, kept in the single engine's pairs too so
// that a pair reads the same whichever engine computed it. Only shown, never computed with: in
// double, which keeps handing out hundreds of thousands of pairs cheap.
double log_beta(double a, double b) {
  const model::Fast policy;
  return boost::math::lgamma(a, policy) + boost::math::lgamma(b, policy) -
         boost::math::lgamma(a + b, policy);
}

}  // namespace

Result evaluate_single(const Problem& problem, const Options& options, Observer* observer) {
  Result result;
  result.engine = Engine::kSingle;
  const model::Population population =
      model::make_population(problem.d(), problem.rho(), problem.cutoff(), problem.n_majority(),
                             problem.n_minority(), problem.n_hired());
  result.closed_form_means = closed_form_means(population);

  const model::PairPlan plan =
      model::make_pair_plan(problem.n_majority(), problem.n_minority(), problem.n_hired());
  if (observer != nullptr) observer->pairs_started(plan.npair);

  const int unconverged = seams().unconverged_pair;
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  auto pair_result = [&](int k, const engine::single::PairValue& v) {
    PairResult p;
    p.k = k;
    p.w = plan.w(k);
    p.i = plan.i(k);
    p.j = plan.j(k);
    p.a = -kInfinity;
    p.b = kInfinity;
    p.lbeta1 = log_beta(static_cast<double>(plan.nmaj - p.i + 1), static_cast<double>(p.i));
    p.value = v.value;
    p.error_estimate = v.abserr;
    p.converged = v.converged && k != unconverged;
    p.outcome = PairOutcome::kAccepted;
    p.stored = v.value;
    return p;
  };
  result.pairs.reserve(static_cast<std::size_t>(plan.npair));

  // The observer hears of the pairs in order, as soon as every pair before them is done too.
  engine::single::PairProgress progress;
  if (observer != nullptr) {
    progress = [&](int done, std::span<const engine::single::PairValue> first_done) {
      for (auto k = result.pairs.size(); k < first_done.size(); ++k) {
        result.pairs.push_back(pair_result(static_cast<int>(k) + 1, first_done[k]));
        observer->pair(result.pairs.back());
      }
      observer->progress(done, plan.npair);
    };
  }
  const engine::single::SingleEnumeration e = engine::single::evaluate_pairs_single(
      single_problem(problem), plan, thread_count(options), options.cancel, progress);
  if (e.cancelled) {
    result.status = Status::kCancelled;
    return result;
  }
  for (auto k = result.pairs.size(); k < e.values.size(); ++k)
    result.pairs.push_back(pair_result(static_cast<int>(k) + 1, e.values[k]));

  std::vector<double> cumulative(e.values.size());
  for (std::size_t k = 0; k < e.values.size(); ++k) cumulative[k] = e.values[k].value;
  result.distribution = build_distribution(plan, cumulative);
  settle_single_splits(result);
  summarize(result);
  return result;
}

}  // namespace tarven::core
