#pragma once

// Every pair of a problem through the single-integral engine, on as many threads as asked. The
// pairs are independent, so the values do not depend on the number of threads.

#include <atomic>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "engine/single/single_engine.h"
#include "model/pair_plan.h"

namespace tarven::engine::single {

struct SingleEnumeration {
  std::unique_ptr<PairValue[]> storage;  // npair values, allocated once and written once each
  std::span<PairValue> values;           // values[k - 1] for pair k
  bool cancelled = false;                // `cancel` was set: the values are incomplete
};

// Called on the calling thread about every 0.1 s while the pairs are computed (at once when they
// start, and once more when every pair is done): how many pairs are done, and the values of the
// longest run of pairs from the first that are all done (final; the others are still being
// computed).
using PairProgress = std::function<void(int done, std::span<const PairValue> first_done)>;

// `cancel` (may be nullptr) is looked at between pairs; `progress` may be empty.
SingleEnumeration evaluate_pairs_single(const SingleProblem& problem, const model::PairPlan& plan,
                                        int threads, const std::atomic<bool>* cancel,
                                        const PairProgress& progress = {});

}  // namespace tarven::engine::single
