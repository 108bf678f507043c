#include "driver/parallel_pair_source.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "model/integrands.h"
#include "model/pair_probability.h"

namespace tarven::driver {
namespace {

// The first attempt of every pair integrates over the whole window.
constexpr double kFirstLow = -6.5;
constexpr double kFirstHigh = 6.5;
// The library's message that stops the run.
constexpr int kStoppingIer = 6;

void copy_problem(const model::ModelState& from, model::ModelState& to) {
  to.rsq2pi = from.rsq2pi;
  to.es = from.es;
  to.rho = from.rho;
  to.zcut = from.zcut;
  to.nmaj = from.nmaj;
  to.nmin = from.nmin;
  to.nsel = from.nsel;
  to.imom = from.imom;
  to.memo = from.memo;
  to.keep_constants = from.keep_constants;
}

}  // namespace

void RecordingDiagnostics::console_line(std::string_view text) {
  events_.push_back(Event{std::string(text), nullptr, 0});
}

void RecordingDiagnostics::abnormal_return(const char* routine, int ier) {
  events_.push_back(Event{std::string(), routine, ier});
}

void RecordingDiagnostics::replay(model::Diagnostics& to) const {
  for (const Event& e : events_) {
    if (e.routine == nullptr)
      to.console_line(e.line);
    else
      to.abnormal_return(e.routine, e.ier);
  }
}

void ParallelPairSource::Forwarding::console_line(std::string_view text) {
  source_.caller_diagnostics_->console_line(text);
}

void ParallelPairSource::Forwarding::abnormal_return(const char* routine, int ier) {
  if (ier == kStoppingIer) source_.stop();
  source_.caller_diagnostics_->abnormal_return(routine, ier);
}

ParallelPairSource::ParallelPairSource(model::ModelState& caller, int threads)
    : caller_(caller), caller_diagnostics_(caller.diagnostics), outer_work_(model::kOuterLimit) {
  caller_.diagnostics = &forwarding_;
  // The enumeration's own mapping from the pair counter to the order statistics.
  jlow_ = std::max(caller.nsel - caller.nmaj, 0);
  npair_ = std::max(std::min(caller.nsel, caller.nmin) - jlow_, 0);
  jobs_.resize(static_cast<std::size_t>(npair_) + 1);

  const int count = std::max(threads, 1);
  // As many pairs in work as there are workers: the lowest pair not yet taken always goes first,
  // so the extra pairs only use threads that would otherwise wait, and little is thrown away when
  // the enumeration stops early.
  lookahead_ = count;
  warm_nodes_ = model::outer_nodes_backwards(kFirstLow, kFirstHigh);
  workers_.reserve(static_cast<std::size_t>(count));
  for (int t = 0; t < count; ++t) {
    auto worker = std::make_unique<Worker>(Worker{
        std::make_unique<model::ModelState>(), numlib::QuadWorkspace(model::kOuterLimit), {}});
    copy_problem(caller, *worker->state);
    worker->state->cancel = &cancel_;
    workers_.push_back(std::move(worker));
  }
  for (auto& worker : workers_)
    worker->thread = std::thread([this, w = worker.get()] { work(*w); });
}

ParallelPairSource::~ParallelPairSource() {
  stop();
  caller_.diagnostics = caller_diagnostics_;
}

int ParallelPairSource::i_of(int k) const {
  const int w = jlow_ + k - 1;
  return caller_.nmaj - caller_.nsel + w + 1;
}

int ParallelPairSource::j_of(int k) const {
  return caller_.nmin - (jlow_ + k - 1);
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
        return stopping_ || (k <= npair_ && k <= decided_ + lookahead_);
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
  model::ModelState& state = *worker.state;
  Job& job = jobs_[static_cast<std::size_t>(k)];
  state.iorder = i_of(k);
  state.jorder = j_of(k);
  state.diagnostics = &job.events;
  const model::PairAttempt result =
      model::attempt_pair(state, worker.outer_work, kFirstLow, kFirstHigh);
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
  model::ModelState& state = *worker.state;
  state.iorder = i_of(k);
  state.jorder = j_of(k);
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

model::PairAttempt ParallelPairSource::attempt(int k, int i, int j, double a, double b) {
  const bool planned =
      k >= 1 && k <= npair_ && i == i_of(k) && j == j_of(k) && a == kFirstLow && b == kFirstHigh;
  if (planned) {
    Job& job = jobs_[static_cast<std::size_t>(k)];
    std::unique_lock lock(mutex_);
    if (!job.replayed && !stopping_) {
      job_done_.wait(lock, [&] { return job.ready; });
      job.replayed = true;
      lock.unlock();
      job.events.replay(forwarding_);
      return job.result;
    }
  }
  // A retry (or anything the workers were not asked for): computed here, reporting directly.
  caller_.iorder = i;
  caller_.jorder = j;
  return model::attempt_pair(caller_, outer_work_, a, b);
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

}  // namespace tarven::driver
