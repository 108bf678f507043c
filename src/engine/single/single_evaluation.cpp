#include "engine/single/single_evaluation.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <system_error>
#include <thread>

namespace tarven::engine::single {
namespace {

// Often enough for a progress bar and for an interrupt to be felt, seldom enough to cost nothing.
constexpr std::chrono::milliseconds kProgressInterval{100};

}  // namespace

SingleEnumeration evaluate_pairs_single(const SingleProblem& problem, const model::PairPlan& plan,
                                        int threads, const std::atomic<bool>* cancel,
                                        const PairProgress& progress) {
  const SingleEngine engine(problem);
  SingleEnumeration out;
  const auto npair = static_cast<std::size_t>(std::max(plan.npair, 0));
  out.values.resize(npair);
  // Set (release) once values[k - 1] is final, so that the calling thread may read it.
  const std::unique_ptr<std::atomic<bool>[]> done_flags(new std::atomic<bool>[npair]());
  std::atomic<int> next{1};
  std::atomic<int> done{0};
  std::atomic<bool> cancelled{false};
  auto compute = [&](int k) {
    out.values[static_cast<std::size_t>(k) - 1] = engine.cumulative(plan.i(k), plan.j(k));
    done_flags[static_cast<std::size_t>(k) - 1].store(true, std::memory_order_release);
    done.fetch_add(1, std::memory_order_relaxed);
  };
  auto stop_asked = [&] {
    if (cancel == nullptr || !cancel->load(std::memory_order_relaxed)) return false;
    cancelled.store(true, std::memory_order_relaxed);
    return true;
  };
  auto work = [&] {
    for (int k = next.fetch_add(1); k <= plan.npair; k = next.fetch_add(1)) {
      if (stop_asked()) return;
      compute(k);
    }
  };

  std::size_t first_done = 0;  // pairs 1 .. first_done are all done
  auto report = [&] {
    while (first_done < npair && done_flags[first_done].load(std::memory_order_acquire))
      ++first_done;
    progress(done.load(std::memory_order_relaxed),
             std::span<const PairValue>(out.values.data(), first_done));
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
  // The calling thread works too, and between its pairs tells how far the others have come.
  auto last = std::chrono::steady_clock::now();
  for (int k = next.fetch_add(1); k <= plan.npair; k = next.fetch_add(1)) {
    if (stop_asked()) break;
    compute(k);
    if (progress) {
      const auto now = std::chrono::steady_clock::now();
      if (now - last >= kProgressInterval) {
        last = now;
        report();
      }
    }
  }
  // The last pairs may be the others' and long: keep reporting while waiting for them.
  if (progress) {
    while (done.load(std::memory_order_relaxed) < plan.npair && !cancelled.load()) {
      const bool stop = stop_asked();
      std::this_thread::sleep_for(stop ? std::chrono::milliseconds(1) : kProgressInterval / 4);
      if (stop) break;
      const auto now = std::chrono::steady_clock::now();
      if (now - last >= kProgressInterval) {
        last = now;
        report();
      }
    }
  }
  for (std::thread& t : workers) t.join();
  out.cancelled = cancelled.load();
  if (progress && !out.cancelled) report();
  return out;
}

}  // namespace tarven::engine::single
