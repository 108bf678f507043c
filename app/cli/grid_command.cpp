#include "cli/grid_command.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "cli/interrupt.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/resume.h"
#include "cli/scenario_file.h"
#include "cli/summary_table.h"

namespace tarven::cli {
namespace {

void say(const std::string& message) {
  const std::string line = "tarven grid: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// One scenario's lines, in the chosen format and line end.
struct Written {
  std::string summary;
  std::string distribution;
  bool ok = false;
  bool cancelled = false;
};

// Text made of "\n"-ended lines with `line_end` instead.
void end_lines(std::string& text, const std::string& line_end) {
  if (line_end == "\n") return;
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') {
      out += line_end;
    } else {
      out += c;
    }
  }
  text = std::move(out);
}

// The scenarios still to evaluate, handed to the jobs in order, and their results, held until
// every earlier one is written.
class Work {
 public:
  Work(ScenarioFile& scenarios, std::size_t total, std::size_t ahead)
      : scenarios_(scenarios), total_(total), ahead_(ahead) {}

  // Takes the next scenario (false when there is none left, or the run stops); `n` is its place.
  bool take(ScenarioInput& input, std::size_t& n) {
    std::unique_lock lock(mutex_);
    while (!stop_ && !interrupted().load() && taken_ < total_ && taken_ - written_ >= ahead_)
      changed_.wait_for(lock, std::chrono::milliseconds(100));
    if (stop_ || interrupted().load() || taken_ >= total_) return false;
    if (!scenarios_.next(input)) {
      input_error_ =
          scenarios_.error().empty() ? "the scenarios file ended early" : scenarios_.error();
      stop_ = true;
      changed_.notify_all();
      return false;
    }
    n = taken_++;
    results_.emplace_back();
    return true;
  }

  void done(std::size_t n, Written w) {
    {
      std::lock_guard lock(mutex_);
      results_[n - written_] = std::move(w);
    }
    changed_.notify_all();
  }

  // The next result in order; false when the run stops first (interrupted, or the input failed).
  // `help` evaluates one scenario on this thread, for when no job could be started.
  template <class Help>
  bool next_result(Written& w, Help&& help) {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (!results_.empty() && results_.front()) break;
      if (interrupted().load() || !input_error_.empty() || !failure_.empty()) return false;
      if (help_needed_) {
        lock.unlock();
        help();
        lock.lock();
        continue;
      }
      changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
    w = std::move(*results_.front());
    results_.pop_front();
    ++written_;
    lock.unlock();
    changed_.notify_all();
    return true;
  }

  void stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
  }
  // A job that cannot go on (memory ran out): the run stops, keeping what is complete.
  void fail(std::string why) {
    {
      std::lock_guard lock(mutex_);
      if (failure_.empty()) failure_ = std::move(why);
      stop_ = true;
    }
    changed_.notify_all();
  }
  void need_help() { help_needed_ = true; }
  const std::string& input_error() const { return input_error_; }
  std::string failure() {
    std::lock_guard lock(mutex_);
    return failure_;
  }

 private:
  ScenarioFile& scenarios_;
  const std::size_t total_;
  const std::size_t ahead_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::optional<Written>> results_;  // of scenarios written_, written_ + 1, ...
  std::size_t taken_ = 0;
  std::size_t written_ = 0;
  bool stop_ = false;
  bool help_needed_ = false;
  std::string input_error_;
  std::string failure_;
};

// Stops the jobs and waits for them however the run ends, an exception included: a thread still
// running when its object goes would end the process.
struct JoinAtEnd {
  Work& work;
  std::atomic<bool>& cancel;
  std::vector<std::thread>& workers;
  ~JoinAtEnd() {
    work.stop();
    cancel.store(true);
    for (std::thread& t : workers)
      if (t.joinable()) t.join();
  }
};

int output_failure(const std::string& error) {
  say(error);
  return kExitOutput;
}

}  // namespace

std::pair<std::size_t, std::size_t> shard_rows(std::size_t rows, int k, int n) {
  const auto kk = static_cast<std::size_t>(k);
  const auto nn = static_cast<std::size_t>(n);
  return {(kk - 1) * rows / nn, kk * rows / nn};
}

int run_grid(const GridSettings& settings) {
  ScenarioFile scenarios;
  if (std::string error = scenarios.open(settings.input); !error.empty()) {
    say(error);
    return kExitUsage;
  }
  auto laid_out = summary_layout(scenarios.passthrough_names(), settings.questions);
  if (auto* error = std::get_if<std::string>(&laid_out)) {
    say(*error);
    return kExitUsage;
  }
  const SummaryLayout layout = std::get<SummaryLayout>(laid_out);
  if (settings.check_header) {
    if (std::string refused = settings.check_header(summary_header(layout)); !refused.empty()) {
      say(refused);
      return kExitUsage;
    }
  }
  const std::string header = csv_record(summary_header(layout));

  std::size_t first = 0;
  std::size_t end = scenarios.rows();
  if (settings.shard)
    std::tie(first, end) = shard_rows(end, settings.shard->first, settings.shard->second);
  ScenarioInput skipped;
  for (std::size_t r = 0; r < first; ++r) scenarios.next(skipped);

  // The files, whole or not at all.
  OutputFile output;
  OutputFile distribution;
  const bool with_distribution = !settings.distribution.empty();
  if (std::string error = output.open(settings.output); !error.empty())
    return output_failure(error);
  if (with_distribution) {
    if (std::string error = distribution.open(settings.distribution); !error.empty())
      return output_failure(error);
  }

  // From here on an interruption keeps what is complete, the rows taken from an earlier run too.
  catch_interruptions();
  Kept kept;
  if (settings.resume) {
    auto found = keep_earlier_rows(settings, layout, scenarios, end - first, output, distribution);
    if (auto* error = std::get_if<std::string>(&found)) {
      output.discard();
      distribution.discard();
      if (error->starts_with("write: ")) return output_failure(error->substr(7));
      say(*error);
      return kExitUsage;
    }
    kept = std::move(std::get<Kept>(found));
  }
  std::string write_error;
  if (!kept.header && kept.rows == 0 && !settings.no_header && settings.format == "csv")
    write_error = output.write(header + kept.line_end);
  if (write_error.empty() && with_distribution && !kept.distribution_started && !settings.no_header)
    write_error = distribution.write(std::string(kDistributionHeader) + kept.distribution_line_end);
  if (!write_error.empty()) return output_failure(write_error);

  const std::size_t todo = end - first - kept.rows;
  const int jobs = settings.jobs > 0
                       ? settings.jobs
                       : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const std::size_t wanted =
      std::min(static_cast<std::size_t>(jobs), std::max<std::size_t>(todo, 1));
  Work work(scenarios, todo, kRowsAheadPerJob * wanted + 1);
  std::atomic<bool> cancel{false};  // the evaluations under way: set on an interruption

  auto evaluate_one = [&]() -> bool {
    ScenarioInput input;
    std::size_t n = 0;
    if (!work.take(input, n)) return false;
    try {
      const ScenarioOutcome outcome = settings.evaluate(input, settings.questions, &cancel);
      Written w;
      w.ok = outcome.ok();
      w.cancelled = outcome.analysis.status == AnalysisStatus::kCancelled;
      if (settings.format == "ndjson")
        w.summary = summary_json(layout, input, outcome) + "\n";
      else
        w.summary = csv_record(summary_row(layout, input, outcome)) + "\n";
      end_lines(w.summary, kept.line_end);
      if (with_distribution) {
        w.distribution = distribution_lines(input, outcome);
        end_lines(w.distribution, kept.distribution_line_end);
      }
      work.done(n, std::move(w));
      return true;
    } catch (const std::bad_alloc&) {
      work.fail("not enough memory for scenario \"" + input.id + "\"");
    } catch (const std::exception& e) {
      work.fail("scenario \"" + input.id + "\": " + e.what());
    }
    return false;
  };
  std::vector<std::thread> workers;
  const JoinAtEnd join_at_end{work, cancel, workers};
  std::string refused;
  for (std::size_t t = 0; t < wanted && todo > 0; ++t) {
    try {
      workers.emplace_back([&] {
        while (evaluate_one()) {
        }
      });
    } catch (const std::system_error& e) {
      refused = e.code().message();
      break;
    }
  }
  if (!refused.empty() && !settings.quiet) {
    say("--jobs " + std::to_string(jobs) + ": the system started " +
        std::to_string(workers.size()) + " of the threads (" + refused + "); " +
        (workers.empty() ? "the scenarios run one at a time" : "the grid goes on with them"));
  }
  if (workers.empty()) work.need_help();

  Progress progress(todo, settings.quiet);
  std::size_t written = 0;
  std::size_t failed = 0;
  bool interrupted_run = false;
  bool failed_fast = false;
  for (; written < todo; ++written) {
    Written w;
    if (!work.next_result(w, evaluate_one) || w.cancelled) {
      interrupted_run = work.input_error().empty() && work.failure().empty();
      break;
    }
    // A scenario's distribution lines go first: a complete summary line vouches for them when a
    // killed run's rows are taken up again.
    if (with_distribution) write_error = distribution.write(w.distribution);
    if (write_error.empty()) write_error = output.write(w.summary);
    if (!write_error.empty()) break;
    if (!w.ok) ++failed;
    progress.update(written + 1, failed);
    if (!w.ok && settings.fail_fast) {
      ++written;
      failed_fast = true;
      break;
    }
  }
  const std::string failure = work.failure();
  if (interrupted().load() && written < todo && failure.empty()) interrupted_run = true;
  work.stop();
  if (interrupted_run || failed_fast || !write_error.empty() || !work.input_error().empty() ||
      !failure.empty())
    cancel.store(true);
  for (std::thread& t : workers) t.join();
  progress.finish(written, failed);

  if (!write_error.empty()) return output_failure(write_error);
  if (!work.input_error().empty()) {
    output.discard();
    distribution.discard();
    say(work.input_error());
    return kExitUsage;
  }
  if (interrupted_run || !failure.empty()) {
    // What is complete is kept beside the output, which stays as it was, for --resume.
    std::string kept_in;
    std::string distribution_kept_in;
    std::string error = output.commit_partial(kept_in);
    if (error.empty() && with_distribution)
      error = distribution.commit_partial(distribution_kept_in);
    if (!error.empty()) return output_failure(error);
    std::string message = (failure.empty() ? "interrupted" : "stopped") + std::string(" after ") +
                          std::to_string(written) + " of " + std::to_string(todo) + " scenarios";
    if (!failure.empty()) message += " (" + failure + ")";
    if (!output.is_standard_output()) {
      message += "; the rows done are in " + kept_in;
      if (with_distribution) message += " and " + distribution_kept_in;
      message += "; --resume goes on from there";
    }
    say(message);
    if (!failure.empty()) return kExitUsage;
    const int signal = interrupting_signal();
    return 128 + (signal != 0 ? signal : 2);
  }
  std::string error = output.commit();
  if (error.empty() && with_distribution) error = distribution.commit();
  if (!error.empty()) return output_failure(error);
  return failed + kept.failed > 0 ? kExitSomeNotOk : kExitOk;
}

}  // namespace tarven::cli
