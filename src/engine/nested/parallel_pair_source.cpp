#include "engine/nested/parallel_pair_source.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <system_error>
#include <utility>

#include "model/integrands.h"

namespace tarven::engine::nested {
namespace {

constexpr std::chrono::milliseconds kBeatInterval{25};

}  // namespace

ParallelPairSource::ParallelPairSource(const model::Population& population, model::DistMemo* memo,
                                       NestedListener& listener, const model::PairPlan& plan,
                                       int threads)
    : listener_(listener), plan_(plan), caller_(population, listener), outer_work_(kOuterLimit) {
  caller_.memo = memo;
  caller_.cancel = listener.stop_flag();
  caller_.heartbeat = &listener;
  jobs_.resize(static_cast<std::size_t>(plan_.npair) + 1);

  const int count = std::max(threads, 1);
  warm_nodes_ = outer_nodes_backwards(population.window.low, population.window.high);
  workers_.reserve(static_cast<std::size_t>(count));
  for (int t = 0; t < count; ++t) {
    auto worker = std::make_unique<Worker>(population, discarding_);
    worker->state.memo = memo;
    worker->state.cancel = &cancel_;
    workers_.push_back(std::move(worker));
  }
  std::size_t started = 0;
  try {
    for (; started < workers_.size(); ++started) {
      Worker* w = workers_[started].get();
      w->thread = std::thread([this, w] { work(*w); });
    }
  } catch (const std::system_error&) {
    // The system may refuse a thread (no room for its stack under an address-space limit, a cap
    // on the number of threads). Every thread count gives the same bits, so the workers that did
    // start do the work; without any, the caller falls back to the serial evaluation.
    if (started == 0) throw;
    workers_.resize(started);
  }
  // As many pairs in work as there are workers: the lowest pair not yet taken always goes first,
  // so the extra pairs only use threads that would otherwise wait, and little is thrown away when
  // the enumeration stops early.
  {
    std::lock_guard lock(mutex_);
    lookahead_ = static_cast<int>(workers_.size());
  }
  work_ready_.notify_all();
}

ParallelPairSource::~ParallelPairSource() {
  stop();
}

// Tasks in the order they are handed out: 0 integrates pair 1, 1 warms the memo for pair 1, and
// t >= 2 integrates pair t. Only the first pair is warmed: it starts with an empty memo and
// computes about half of all the values of a run, while the later pairs mostly find theirs and
// are better spread over the threads whole.
int ParallelPairSource::pair_of_task(int task) {
  return task <= 1 ? 1 : task;
}

void ParallelPairSource::work(Worker& worker) {
  for (;;) {
    int task = 0;
    {
      std::unique_lock lock(mutex_);
      work_ready_.wait(lock, [&] {
        const int k = pair_of_task(next_task_);
        return stopping_ || (k <= plan_.npair && k <= decided_ + lookahead_);
      });
      if (stopping_) return;
      task = next_task_++;
    }
    if (task == 1)
      warm(worker, 1);
    else
      integrate(worker, pair_of_task(task));
  }
}

void ParallelPairSource::integrate(Worker& worker, int k) {
  model::PairState& state = worker.state;
  Job& job = jobs_[static_cast<std::size_t>(k)];
  state.iorder = plan_.i(k);
  state.jorder = plan_.j(k);
  state.diagnostics = &job.events;
  const PairAttempt result = attempt_pair(state, worker.outer_work, state.population->window.low,
                                          state.population->window.high);
  {
    std::lock_guard lock(mutex_);
    job.result = result;
    job.ready = true;
  }
  job_done_.notify_all();
}

// Evaluates pair k's outer integrand where its integration will ask for it, only for the
// distribution values this leaves in the memo; the values and whatever they report are thrown
// away. The pair itself finds them there, so the two threads share its work.
void ParallelPairSource::warm(Worker& worker, int k) {
  if (caller_.memo == nullptr) return;
  model::PairState& state = worker.state;
  state.iorder = plan_.i(k);
  state.jorder = plan_.j(k);
  state.lbeta1 = 0.0;  // enters only fun's value, which is not kept
  state.diagnostics = &discarding_;
  for (const double x : warm_nodes_) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_ || jobs_[static_cast<std::size_t>(k)].ready) return;
    }
    model::fun(x, state);
  }
}

PairAttempt ParallelPairSource::attempt(int k, int i, int j, double a, double b) {
  const bool planned = k >= 1 && k <= plan_.npair && i == plan_.i(k) && j == plan_.j(k) &&
                       a == caller_.population->window.low && b == caller_.population->window.high;
  if (planned) {
    Job& job = jobs_[static_cast<std::size_t>(k)];
    std::unique_lock lock(mutex_);
    if (!job.replayed && !stopping_) {
      // Waits in short slices, so that the heartbeat goes on and a stop is noticed at once; the
      // result of a stopped evaluation is thrown away unseen.
      while (!job_done_.wait_for(lock, kBeatInterval, [&] { return job.ready; })) {
        lock.unlock();
        listener_.beat();
        if (listener_.stopped()) return PairAttempt{};
        lock.lock();
      }
      job.replayed = true;
      lock.unlock();
      job.events.replay(listener_);
      return job.result;
    }
  }
  // A retry (or anything the workers were not asked for): computed here, reporting directly.
  caller_.iorder = i;
  caller_.jorder = j;
  return attempt_pair(caller_, outer_work_, a, b);
}

void ParallelPairSource::pair_finished(int k) {
  {
    std::lock_guard lock(mutex_);
    decided_ = std::max(decided_, k);
  }
  work_ready_.notify_all();
}

void ParallelPairSource::enumeration_stopped() {
  stop();
}

void ParallelPairSource::stop() {
  if (joined_) return;
  cancel_.store(true, std::memory_order_relaxed);
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (auto& worker : workers_)
    if (worker->thread.joinable()) worker->thread.join();
  joined_ = true;
}

}  // namespace tarven::engine::nested
