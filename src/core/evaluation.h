#pragma once

// The evaluation of each engine behind evaluate(), and what they share.

#include "engine/single/single_engine.h"
#include "model/population.h"
#include "tarven/evaluate.h"

namespace tarven::core {

// Whether this build has the nested engine (it needs GNU GSL, which some targets lack).
#ifdef TARVEN_NESTED_ENGINE
inline constexpr bool kNestedEngineBuilt = true;
#else
inline constexpr bool kNestedEngineBuilt = false;
#endif

// Both throw std::bad_alloc where the problem does not fit in memory; evaluate() turns that into
// a status.
Result evaluate_single(const Problem& problem, const Options& options, Observer* observer);
// Only where kNestedEngineBuilt.
Result evaluate_nested(const Problem& problem, const Options& options, Observer* observer);

// Options::threads, with 0 meaning one per available core.
int thread_count(const Options& options);

// The pre-screened group means by the closed formula for a normal variable selected on a
// correlated normal variable.
GroupMeans closed_form_means(const model::Population& p);

inline engine::single::SingleProblem single_problem(const Problem& p) {
  return {p.n_majority(), p.n_minority(), p.d(), p.rho(), p.cutoff()};
}

}  // namespace tarven::core
