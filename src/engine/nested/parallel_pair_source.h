#pragma once

// Pairs evaluated ahead of the enumeration on several threads. The enumeration still decides
// every pair in order (saturation, capping, retries, abandonment); what the threads change is
// only when the first attempt of a pair is integrated. Each worker has its own pair state and work
// areas and records what its integrations report instead of passing it on; when the enumeration
// asks for pair k, the recorded diagnostics of pair k are handed on in the order they were made,
// so the evaluation receives exactly what a serial run reports, in the same order.
//
// The first pair starts with an empty memo and computes about half of all the distribution values
// of a run; a second worker helps it by evaluating its outer integrand ahead, from the other end,
// for the values this leaves in the memo only. Everything the workers do beyond what the
// enumeration asks for is thrown away unseen.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/nested/enumeration.h"
#include "engine/nested/nested_engine.h"
#include "model/diagnostics.h"
#include "model/pair_plan.h"
#include "model/pair_state.h"
#include "numlib/quadpack.h"

namespace tarven::engine::nested {

// Keeps what an integration reports, to be handed on later.
class RecordingSink final : public model::DiagnosticSink {
 public:
  void report(const model::Diagnostic& d) override { events_.push_back(d); }
  // Reports every recorded diagnostic to `to`, in the order recorded.
  void replay(model::DiagnosticSink& to) const {
    for (const model::Diagnostic& d : events_) to.report(d);
  }
  bool empty() const { return events_.empty(); }

 private:
  std::vector<model::Diagnostic> events_;
};

class ParallelPairSource final : public PairSource {
 public:
  // `listener` receives what is handed on and the retries' own reports; its stop flag stops the
  // retries' integrations and the waits for the workers, its heartbeat beats while the calling
  // thread integrates or waits. Starts `threads` workers (at least 1) at once.
  ParallelPairSource(const model::Population& population, model::DistMemo* memo,
                     NestedListener& listener, const model::PairPlan& plan, int threads);
  ~ParallelPairSource() override;
  ParallelPairSource(const ParallelPairSource&) = delete;
  ParallelPairSource& operator=(const ParallelPairSource&) = delete;

  PairAttempt attempt(int k, int i, int j, double a, double b) override;
  void pair_finished(int k) override;
  // Cancels the work under way, discards every result not asked for, and joins the workers.
  void enumeration_stopped() override;

 private:
  struct Job {
    bool ready = false;     // result and events are final
    bool replayed = false;  // handed to the enumeration
    PairAttempt result;
    RecordingSink events;
  };
  struct Worker {
    Worker(const model::Population& p, model::DiagnosticSink& sink)
        : state(p, sink), outer_work(kOuterLimit) {}
    model::PairState state;
    numlib::QuadWorkspace outer_work;
    std::thread thread;
  };

  // Swallows what the integrands report while warming the memo: the pair's own integration
  // reports it again, in order.
  class Discarding final : public model::DiagnosticSink {
   public:
    void report(const model::Diagnostic&) override {}
  };

  static int pair_of_task(int task);
  void work(Worker& worker);
  void integrate(Worker& worker, int k);
  void warm(Worker& worker, int k);
  void stop();

  NestedListener& listener_;
  model::PairPlan plan_;
  Discarding discarding_;
  std::vector<double> warm_nodes_;  // where the outer integrand of a pair will be asked
  model::PairState caller_;         // the calling thread's, for retries
  numlib::QuadWorkspace outer_work_;
  int lookahead_ = 1;  // pairs beyond the last decided one that may be in work

  std::mutex mutex_;
  std::condition_variable work_ready_;  // for workers: a pair may be taken, or stop
  std::condition_variable job_done_;    // for the caller: a job became ready
  std::vector<Job> jobs_;               // jobs_[k], k = 1 .. npair
  int next_task_ = 0;                   // next task a worker takes (see work())
  int decided_ = 0;                     // last pair the enumeration finished with
  bool stopping_ = false;
  std::atomic<bool> cancel_{false};  // read by the workers' integrands
  bool joined_ = false;
  std::vector<std::unique_ptr<Worker>> workers_;
};

}  // namespace tarven::engine::nested
