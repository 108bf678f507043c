#pragma once

// Every pair of a problem through the single-integral engine, on as many threads as asked. The
// pairs are independent, so the values do not depend on the number of threads.

#include <atomic>
#include <vector>

#include "engine/single/single_engine.h"
#include "model/pair_plan.h"

namespace tarven::engine::single {

struct SingleEnumeration {
  std::vector<PairValue> values;  // values[k - 1] for pair k; sized npair once
  bool cancelled = false;         // `cancel` was set: the values are incomplete
};

// `cancel` (may be nullptr) is looked at between pairs.
SingleEnumeration evaluate_pairs_single(const SingleProblem& problem, const model::PairPlan& plan,
                                        int threads, const std::atomic<bool>* cancel);

}  // namespace tarven::engine::single
