#include "engine/single/single_evaluation.h"

#include <algorithm>
#include <cstddef>
#include <system_error>
#include <thread>

namespace tarven::engine::single {

SingleEnumeration evaluate_pairs_single(const SingleProblem& problem, const model::PairPlan& plan,
                                        int threads, const std::atomic<bool>* cancel) {
  const SingleEngine engine(problem);
  SingleEnumeration out;
  out.values.resize(static_cast<std::size_t>(std::max(plan.npair, 0)));
  std::atomic<int> next{1};
  std::atomic<bool> cancelled{false};
  auto work = [&] {
    for (int k = next.fetch_add(1); k <= plan.npair; k = next.fetch_add(1)) {
      if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
        cancelled.store(true, std::memory_order_relaxed);
        return;
      }
      out.values[static_cast<std::size_t>(k) - 1] = engine.cumulative(plan.i(k), plan.j(k));
    }
  };
  // Pairs are handed out one at a time, so a thread that meets expensive pairs does not hold up
  // the others.
  const int count = std::clamp(threads, 1, std::max(plan.npair, 1));
  std::vector<std::thread> workers;
  workers.reserve(static_cast<std::size_t>(count - 1));
  for (int t = 1; t < count; ++t) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // a thread the system refuses: the threads there are do the work
    }
  }
  work();
  for (std::thread& t : workers) t.join();
  out.cancelled = cancelled.load();
  return out;
}

}  // namespace tarven::engine::single
