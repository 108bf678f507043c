#include "engine/single/single_evaluation.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
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
  if (progress) progress(0, {});
  out.storage = std::make_unique_for_overwrite<PairValue[]>(npair);
  out.values = std::span<PairValue>(out.storage.get(), npair);
  // Set (release) once values[k - 1] is final, so that the calling thread may read it.
  const std::unique_ptr<std::atomic<bool>[]> done_flags(new std::atomic<bool>[npair]());
  std::atomic<int> next{1};
  std::atomic<int> done{0};
  std::atomic<bool> cancelled{false};
  std::mutex mutex;
  std::condition_variable all_done;
  auto compute = [&](int k) {
    out.values[static_cast<std::size_t>(k) - 1] = engine.cumulative(plan.i(k), plan.j(k));
    done_flags[static_cast<std::size_t>(k) - 1].store(true, std::memory_order_release);
    if (done.fetch_add(1, std::memory_order_relaxed) + 1 == plan.npair) {
      const std::lock_guard lock(mutex);
      all_done.notify_all();
    }
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
  // the others. Without anyone to tell, the calling thread is one of the workers; with progress to
  // report it only watches, so that the reports come on time however long a pair takes.
  const int count = std::clamp(threads, 1, std::max(plan.npair, 1));
  const int helpers = progress ? count : count - 1;
  std::vector<std::thread> workers;
  workers.reserve(static_cast<std::size_t>(helpers));
  for (int t = 0; t < helpers; ++t) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // a thread the system refuses: the threads there are do the work
    }
  }
  auto last = std::chrono::steady_clock::now() - kProgressInterval;
  auto report_due = [&] {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < kProgressInterval) return false;
    last = now;
    return true;
  };
  if (!progress) {
    work();
  } else if (workers.empty()) {
    // No thread to watch (a target without threads): report between the pairs.
    for (int k = next.fetch_add(1); k <= plan.npair && !stop_asked(); k = next.fetch_add(1)) {
      compute(k);
      if (report_due()) report();
    }
  } else {
    std::unique_lock lock(mutex);
    while (!all_done.wait_for(lock, kProgressInterval / 4, [&] {
      return done.load(std::memory_order_relaxed) >= plan.npair || stop_asked();
    })) {
      if (!report_due()) continue;
      lock.unlock();
      report();
      lock.lock();
    }
  }
  for (std::thread& t : workers) t.join();
  out.cancelled = cancelled.load();
  if (progress && !out.cancelled) report();
  return out;
}

}  // namespace tarven::engine::single
