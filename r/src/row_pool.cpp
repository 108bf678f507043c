#include "row_pool.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tarven_r {
namespace {

// While alive, the calling thread blocks every asynchronous signal, so that the threads it starts
// meanwhile inherit the mask: R's handlers (SIGINT above all) then run on R's thread only.
class SignalsBlocked {
 public:
  SignalsBlocked() {
    sigset_t all;
    sigfillset(&all);
    for (const int synchronous : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS})
      sigdelset(&all, synchronous);
    pthread_sigmask(SIG_BLOCK, &all, &before_);
  }
  ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  SignalsBlocked(const SignalsBlocked&) = delete;
  SignalsBlocked& operator=(const SignalsBlocked&) = delete;

 private:
  sigset_t before_;
};

class Pool {
 public:
  Pool(std::size_t rows, const RowWork& work) : rows_(rows), work_(work) {}
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;
  // However the call ends (an interrupt unwinding through it included), no worker is left.
  ~Pool() { stop(); }

  void start(int threads) {
    const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(threads), rows_);
    const int per_row = std::max(1, threads / static_cast<int>(workers));
    SignalsBlocked blocked;
    workers_.reserve(workers);
    for (std::size_t w = 0; w < workers; ++w)
      workers_.emplace_back([this, per_row] { serve(per_row); });
  }

  // Waits up to `timeout` for every worker to end; true when they have.
  bool wait_for(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, timeout, [this] { return idle_ == workers_.size(); });
  }

  std::size_t done() const { return done_.load(); }

  void stop() {
    cancel_.store(true);
    for (std::thread& t : workers_)
      if (t.joinable()) t.join();
  }

  const std::string& failure() const { return failure_; }

 private:
  void serve(int threads) {
    for (;;) {
      if (cancel_.load()) break;
      const std::size_t row = next_.fetch_add(1);
      if (row >= rows_) break;
      try {
        work_(row, threads, &cancel_);
      } catch (const std::exception& e) {
        fail(e.what());
        break;
      } catch (...) {
        fail("unknown failure");
        break;
      }
      done_.fetch_add(1);
    }
    {
      std::lock_guard lock(mutex_);
      ++idle_;
    }
    ended_.notify_all();
  }

  void fail(const std::string& message) {
    {
      std::lock_guard lock(mutex_);
      if (failure_.empty()) failure_ = message;
    }
    cancel_.store(true);
  }

  const std::size_t rows_;
  const RowWork& work_;
  std::atomic<bool> cancel_{false};
  std::atomic<std::size_t> next_{0};
  std::atomic<std::size_t> done_{0};
  std::mutex mutex_;
  std::condition_variable ended_;
  std::size_t idle_ = 0;  // workers that have ended, under mutex_
  std::string failure_;   // the first row's failure, under mutex_
  std::vector<std::thread> workers_;
};

}  // namespace

void run_rows(std::size_t rows, int threads, const RowWork& work, const Poll& poll) {
  if (rows == 0) return;
  Pool pool(rows, work);
  pool.start(std::max(1, threads));
  while (!pool.wait_for(std::chrono::milliseconds(100))) poll(pool.done());
  pool.stop();
  if (!pool.failure().empty()) throw std::runtime_error(pool.failure());
}

}  // namespace tarven_r
