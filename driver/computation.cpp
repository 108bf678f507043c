#include "driver/computation.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>

#include "driver/distribution.h"
#include "driver/enumeration.h"
#include "driver/group_mean_check.h"
#include "driver/parallel_pair_source.h"
#include "driver/summary.h"
#include "io/formats.h"
#include "model/diagnostics.h"
#include "model/dist_memo.h"
#include "model/model_state.h"
#include "model/pair_probability.h"
#include "model/window.h"
#include "numlib/error_handler.h"
#include "numlib/quadpack.h"

namespace tarven::driver {
namespace {

// The outer integration range cannot hold groups that lie far apart; below this chance of a score
// outside it (the smallest printed probability) the range does not matter for the report.
constexpr double kWindowWarningLevel = 1e-5;

// Routes the integrands' console lines to the run's console unit, so a caller that captures the
// console captures them too; the library's messages keep their own stream.
class ConsoleDiagnostics final : public model::Diagnostics {
 public:
  explicit ConsoleDiagnostics(io::OutputUnit& console) : console_(console) {}
  void console_line(std::string_view text) override { console_.put(text); }
  void abnormal_return(const char* routine, int ier) override {
    numlib::report_abnormal_return(routine, ier);
  }

 private:
  io::OutputUnit& console_;
};

// The straightforward evaluation: one attempt after the other on one model state.
class SerialPairSource final : public PairSource {
 public:
  explicit SerialPairSource(model::ModelState& state) : state_(state) {}
  model::PairAttempt attempt(int /*k*/, int i, int j, double a, double b) override {
    state_.jorder = j;
    state_.iorder = i;
    return model::attempt_pair(state_, outer_work_, a, b);
  }

 private:
  model::ModelState& state_;
  numlib::QuadWorkspace outer_work_{model::kOuterLimit};
};

// Hands every result through options.adjust_result on its way to the enumeration.
class AdjustedPairSource final : public PairSource {
 public:
  AdjustedPairSource(PairSource& source, const EvaluationOptions& options)
      : source_(source), options_(options) {}
  model::PairAttempt attempt(int k, int i, int j, double a, double b) override {
    model::PairAttempt attempt = source_.attempt(k, i, j, a, b);
    if (options_.adjust_result) attempt.r = options_.adjust_result(k, a, b, attempt.r);
    return attempt;
  }
  void pair_finished(int k) override { source_.pair_finished(k); }
  void enumeration_stopped() override { source_.enumeration_stopped(); }

 private:
  PairSource& source_;
  const EvaluationOptions& options_;
};

int thread_count(const EvaluationOptions& options) {
  if (options.threads > 0) return options.threads;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace

void write_report_body(const Problem& problem, const io::DateTime& start,
                       const EvaluationOptions& options, io::OutputUnit& console,
                       io::OutputUnit& report) {
  ConsoleDiagnostics diagnostics(console);
  model::ModelState state;
  state.diagnostics = &diagnostics;
  state.keep_constants = options.keep_constants;
  state.rsq2pi = 1.0 / std::sqrt(6.283185307179586);
  state.es = problem.es;
  state.rho = problem.rho;
  state.zcut = problem.zcut;

  io::write(report, io::kFormat3488,
            {start.day, start.month, start.year, start.hour, start.minute, start.second});
  group_mean_check(state, console);
  io::write(report, io::kFormat5000, {});
  io::write(report, io::kFormat5002,
            {problem.ntot, problem.nmaj, problem.nmin, problem.nsel, problem.es, problem.rho,
             problem.retention, problem.zcut});

  state.nmaj = problem.nmaj;
  state.nmin = problem.nmin;
  state.nsel = problem.nsel;
  const double outside = model::outside_window_probability(state);
  if (outside > kWindowWarningLevel) {
    io::write(console, io::kFormatWindowWarning, {outside});
    io::write(report, io::kFormatWindowWarning, {outside});
  }

  io::write(console, io::kFormat456, {});
  io::write(console, io::kFormat312, {});

  // Allocated once for the whole enumeration; it serves only this problem's plain densities.
  std::unique_ptr<model::DistMemo> memo;
  if (options.memoise) {
    memo = std::make_unique<model::DistMemo>();
    state.memo = memo.get();
  }
  // Workers pay off only when there is more than one pair to spread over them.
  const int threads = thread_count(options);
  const int pairs = std::min(problem.nsel, problem.nmin) - std::max(problem.nsel - problem.nmaj, 0);
  std::unique_ptr<PairSource> source;
  if (threads > 1 && pairs > 1)
    source = std::make_unique<ParallelPairSource>(state, threads);
  else
    source = std::make_unique<SerialPairSource>(state);
  AdjustedPairSource adjusted(*source, options);
  const Enumeration enumeration =
      enumerate_pairs(problem.nmaj, problem.nmin, problem.nsel, adjusted, console);
  source.reset();
  state.memo = nullptr;
  if (enumeration.abandoned) {
    io::write(console, io::kFormatAbandoned,
              {enumeration.abandoned_w, enumeration.abandoned_after});
    io::write(report, io::kFormatAbandoned, {enumeration.abandoned_w, enumeration.abandoned_after});
    return;
  }
  const Distribution distribution =
      build_distribution(enumeration, problem.nmaj, problem.nmin, problem.nsel);
  const Summary summary = summarize(distribution);
  write_distribution(distribution, report, console);
  write_summary(summary, report);
}

}  // namespace tarven::driver
