#pragma once

// Pairs evaluated ahead of the enumeration on several threads. The enumeration still decides
// every pair in order (saturation, capping, retries, abandonment); what the threads change is
// only when the first attempt of a pair is integrated. Each worker has its own model state and
// work areas and records what its integrations report instead of printing it; when the
// enumeration asks for pair k, the recorded lines and library messages of pair k are replayed in
// the order they were made, so the console and the standard error stream receive exactly what a
// serial run prints, and the library counts its messages as a serial run would.
//
// The first pair starts with an empty memo and computes about half of all the distribution values
// of a run; a second worker helps it by evaluating its outer integrand ahead, from the other end,
// for the values this leaves in the memo only. Everything the workers do beyond what the
// enumeration asks for is thrown away unseen.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver/enumeration.h"
#include "model/diagnostics.h"
#include "model/model_state.h"
#include "numlib/quadpack.h"

namespace tarven::driver {

// Keeps what an integration reports, to be replayed later.
class RecordingDiagnostics final : public model::Diagnostics {
 public:
  void console_line(std::string_view text) override;
  void abnormal_return(const char* routine, int ier) override;
  // Reports every recorded event to `to`, in the order recorded.
  void replay(model::Diagnostics& to) const;
  bool empty() const { return events_.empty(); }

 private:
  struct Event {
    std::string line;               // a console line, when routine is nullptr
    const char* routine = nullptr;  // otherwise the library's message of routine with ier
    int ier = 0;
  };
  std::vector<Event> events_;
};

class ParallelPairSource final : public PairSource {
 public:
  // `caller` holds the problem (rsq2pi, es, rho, zcut, nmaj, nmin, nsel, memo) and the
  // diagnostics that receive what is replayed; retries are computed on it by the calling thread.
  // Starts `threads` workers (at least 1) at once.
  ParallelPairSource(model::ModelState& caller, int threads);
  ~ParallelPairSource() override;
  ParallelPairSource(const ParallelPairSource&) = delete;
  ParallelPairSource& operator=(const ParallelPairSource&) = delete;

  model::PairAttempt attempt(int k, int i, int j, double a, double b) override;
  void pair_finished(int k) override;
  // Cancels the work under way, discards every result not asked for, and joins the workers.
  void enumeration_stopped() override;

 private:
  struct Job {
    bool ready = false;     // result and events are final
    bool replayed = false;  // handed to the enumeration
    model::PairAttempt result{0.0, 0.0};
    RecordingDiagnostics events;
  };
  struct Worker {
    std::unique_ptr<model::ModelState> state;
    numlib::QuadWorkspace outer_work;
    std::thread thread;
  };
  // Passes everything on to the caller's diagnostics, but ends the workers before a message that
  // stops the run, so that the process never exits under running threads.
  class Forwarding final : public model::Diagnostics {
   public:
    explicit Forwarding(ParallelPairSource& source) : source_(source) {}
    void console_line(std::string_view text) override;
    void abnormal_return(const char* routine, int ier) override;

   private:
    ParallelPairSource& source_;
  };

  // Swallows what the integrands report while warming the memo: the pair's own integration
  // reports it again, in order.
  class Discarding final : public model::Diagnostics {
   public:
    void console_line(std::string_view) override {}
    void abnormal_return(const char*, int) override {}
  };

  int i_of(int k) const;
  int j_of(int k) const;
  static int pair_of_task(int task);
  void work(Worker& worker);
  void integrate(Worker& worker, int k);
  void warm(Worker& worker, int k);
  void stop();

  model::ModelState& caller_;
  model::Diagnostics* caller_diagnostics_;
  Forwarding forwarding_{*this};
  Discarding discarding_;
  std::vector<double> warm_nodes_;    // where the outer integrand of a pair will be asked
  numlib::QuadWorkspace outer_work_;  // the calling thread's, for retries
  int jlow_ = 0;
  int npair_ = 0;
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

}  // namespace tarven::driver
