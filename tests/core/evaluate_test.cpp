// The library's one entry point: quiet, re-entrant, and the same result however it is called.

#include "tarven/evaluate.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <variant>

#include "core/seams.h"

namespace tarven {
namespace {

Problem make(int ntot, int nmaj, int nsel, double es, double rho, double retention) {
  return std::get<Problem>(Problem::make(ntot, nmaj, nsel, es, rho, retention));
}

// The typical problem, and one whose majority distribution values end abnormally dozens of times
// (more often than the library prints a message).
const Problem kTypical = make(10, 7, 4, 0.5, 0.3, 0.6);
const Problem kNoisy = make(4, 2, 2, -3.0, 0.9, 0.02);

std::uint64_t bits(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

// Two results are the same when every number has the same bits.
void expect_same(const Result& a, const Result& b) {
  EXPECT_EQ(a.status, b.status);
  ASSERT_EQ(a.pairs.size(), b.pairs.size());
  for (std::size_t n = 0; n < a.pairs.size(); ++n) {
    EXPECT_EQ(bits(a.pairs[n].value), bits(b.pairs[n].value)) << "pair attempt " << n;
    EXPECT_EQ(a.pairs[n].outcome, b.pairs[n].outcome);
  }
  ASSERT_EQ(a.distribution.size(), b.distribution.size());
  for (std::size_t r = 0; r < a.distribution.size(); ++r) {
    EXPECT_EQ(bits(a.distribution[r].prob), bits(b.distribution[r].prob)) << "row " << r;
    EXPECT_EQ(bits(a.distribution[r].cum_prob), bits(b.distribution[r].cum_prob)) << "row " << r;
  }
  EXPECT_EQ(bits(a.expected_sr_majority), bits(b.expected_sr_majority));
  EXPECT_EQ(a.expected_ai, b.expected_ai);
  EXPECT_EQ(a.percentiles, b.percentiles);
  ASSERT_EQ(a.diagnostics.size(), b.diagnostics.size());
  for (std::size_t n = 0; n < a.diagnostics.size(); ++n) {
    EXPECT_EQ(bits(a.diagnostics[n].abscissa), bits(b.diagnostics[n].abscissa)) << n;
    EXPECT_EQ(a.diagnostics[n].suppressed, b.diagnostics[n].suppressed) << n;
  }
}

// Everything written to one file descriptor while it lives.
class CapturedFd {
 public:
  explicit CapturedFd(int fd) : fd_(fd), file_(std::tmpfile()), saved_(::dup(fd)) {
    std::fflush(nullptr);
    ::dup2(::fileno(file_), fd_);
  }
  ~CapturedFd() {
    std::fflush(nullptr);
    ::dup2(saved_, fd_);
    ::close(saved_);
    std::fclose(file_);
  }
  std::string text() {
    std::fflush(nullptr);
    std::string out;
    std::rewind(file_);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;)
      out.append(buffer, n);
    return out;
  }

 private:
  int fd_;
  std::FILE* file_;
  int saved_;
};

// The nested evaluation, with the library stopping it at pair k.
Result stopped_at_pair(const Problem& p, int k) {
  core::Seams seams;
  seams.outer_ier = [k](int pair, double, double) { return pair == k ? 6 : 0; };
  const core::ScopedSeams scoped(std::move(seams));
  return evaluate(p, Options::nested());
}

Result nested(const Problem& p) {
  return evaluate(p, Options::nested());
}

TEST(Evaluate, NeverWritesToTheStandardStreams) {
  CapturedFd out(STDOUT_FILENO);
  CapturedFd err(STDERR_FILENO);
  const Result noisy = nested(kNoisy);
  const Result stopped = stopped_at_pair(kTypical, 2);
  const std::string out_text = out.text();
  const std::string err_text = err.text();
  EXPECT_EQ(out_text, "");
  EXPECT_EQ(err_text, "");
  // The problems did raise what a front end would show.
  EXPECT_GT(noisy.diagnostics.size(), 50u);
  EXPECT_EQ(stopped.status, Status::kNumericalStop);
}

TEST(Evaluate, PrintLimitCountsPerMessageAndEvaluation) {
  const Result r = nested(kNoisy);
  ASSERT_EQ(r.status, Status::kOk);
  int printed = 0;
  int suppressed = 0;
  for (const Diagnostic& d : r.diagnostics) {
    if (d.kind != DiagnosticKind::kDistribution) continue;
    EXPECT_EQ(d.routine, "DQAGI");
    (d.suppressed ? suppressed : printed) += 1;
  }
  EXPECT_GT(suppressed, 0);
  // Each error number is its own message with its own allowance of 10.
  int allowance = 0;
  for (const LibraryMessage& m : r.messages) allowance += std::min(m.count, 10);
  EXPECT_EQ(printed, allowance);
}

TEST(Evaluate, ANumericalStopEndsTheEvaluationAndTheNextOneStartsAfresh) {
  const Result stopped = stopped_at_pair(kNoisy, 2);
  ASSERT_EQ(stopped.status, Status::kNumericalStop);
  EXPECT_EQ(stopped.stop.routine, "DQAG");
  EXPECT_EQ(stopped.stop.error_number, 6);
  EXPECT_EQ(stopped.stop.message, "ABNORMAL RETURN");
  ASSERT_FALSE(stopped.diagnostics.empty());
  EXPECT_TRUE(stopped.diagnostics.back().stops);
  EXPECT_EQ(stopped.diagnostics.back().level, MessageLevel::kRecoverable);
  // Nothing after the stop: the first pair was decided, the second stopped.
  ASSERT_EQ(stopped.pairs.size(), 1u);
  EXPECT_TRUE(stopped.distribution.empty());
  EXPECT_GT(stopped.diagnostics.size(), 10u);

  // The same process, a fresh evaluation: its first diagnostics are printed again, and it gives
  // what it gives alone.
  const Result after = nested(kNoisy);
  ASSERT_FALSE(after.diagnostics.empty());
  EXPECT_FALSE(after.diagnostics.front().suppressed);
  expect_same(after, evaluate(kNoisy, Options::nested_straightforward()));
}

TEST(Evaluate, SideBySideOnTwoThreadsEachGivesWhatItGivesAlone) {
  const Problem larger = make(40, 30, 12, 0.8, 0.5, 0.3);
  const Result alone_a = nested(kNoisy);
  const Result alone_b = nested(larger);
  Result together_a;
  Result together_b;
  std::thread first([&] { together_a = nested(kNoisy); });
  std::thread second([&] { together_b = nested(larger); });
  first.join();
  second.join();
  expect_same(together_a, alone_a);
  expect_same(together_b, alone_b);
}

TEST(Evaluate, ReferenceAndFastPresetsAgreeToTheBit) {
  const Problem p = make(30, 20, 8, -1.5, -0.6, 0.05);
  expect_same(evaluate(p, Options::nested_straightforward()), evaluate(p, Options::nested()));
  Options two = Options::nested();
  two.threads = 2;
  expect_same(evaluate(p, Options::nested_straightforward()), evaluate(p, two));
}

TEST(Evaluate, ObserverSeesEveryPairAndDiagnosticInOrder) {
  struct Recorder : Observer {
    void group_means(const GroupMeans&, const GroupMeans&) override { events += "m"; }
    void window(double, const IntegrationWindow&) override { events += "w"; }
    void pairs_started(int npair) override {
      events += 's';
      events += std::to_string(npair);
    }
    void pair(const PairResult&) override { events += "p"; }
    void diagnostic(const Diagnostic&) override { events += "d"; }
    std::string events;
  } recorder;
  const Result r = evaluate(kTypical, Options::nested(), &recorder);
  EXPECT_EQ(recorder.events, "mws3ppp");
  EXPECT_EQ(r.pairs.size(), 3u);
  EXPECT_EQ(r.distribution.size(), 4u);
}

TEST(Evaluate, AnAbandonmentSaysWhereAndAfterHowManyAttempts) {
  const core::ScopedSeams seams(
      {.adjust_result = [](int k, double, double, double r) { return k == 2 ? 1.5 : r; }});
  const Result r = evaluate(kTypical, Options::nested_straightforward());
  ASSERT_EQ(r.status, Status::kAbandoned);
  EXPECT_EQ(r.abandonment.minority_hires, 1);
  EXPECT_EQ(r.abandonment.attempts, 25);
  EXPECT_EQ(r.pairs.size(), 1u + 26u);
  EXPECT_TRUE(r.distribution.empty());
}

}  // namespace
}  // namespace tarven

namespace tarven {
namespace {

TEST(Evaluate, ACancelledEvaluationEndsAfterThePairUnderWay) {
  std::atomic<bool> cancel{false};
  struct CancelAfterFirstPair : Observer {
    explicit CancelAfterFirstPair(std::atomic<bool>& flag) : flag(flag) {}
    void pair(const PairResult&) override { flag = true; }
    std::atomic<bool>& flag;
  } observer(cancel);
  Options o = Options::nested();
  o.cancel = &cancel;
  const Result r = evaluate(make(40, 30, 12, 0.8, 0.5, 0.3), o, &observer);
  EXPECT_EQ(r.status, Status::kCancelled);
  EXPECT_EQ(r.pairs.size(), 1u);
  EXPECT_TRUE(r.distribution.empty());
  // Set before the start, nothing is computed at all.
  const Result none = evaluate(kTypical, o);
  EXPECT_EQ(none.status, Status::kCancelled);
  EXPECT_TRUE(none.pairs.empty());
}

}  // namespace
}  // namespace tarven

namespace tarven {
namespace {

Options single_engine(int threads) {
  Options o = Options::nested();
  o.engine = Engine::kSingle;
  o.threads = threads;
  return o;
}

TEST(Evaluate, TheTwoEnginesAgreeWhereTheNestedOneIsReliable) {
  // Small problems whose scores lie inside the nested engine's window to within 1e-7.
  for (const Problem& p :
       {kTypical, make(40, 30, 12, 0.8, 0.5, 0.3), make(50, 30, 20, 0.6, 0.3, 0.4),
        make(100, 50, 30, 0.0, 0.99, 0.01), make(60, 30, 10, -0.5, -0.9, 0.9)}) {
    const Result nested = evaluate(p, Options::nested());
    const Result single = evaluate(p, single_engine(1));
    ASSERT_EQ(nested.status, Status::kOk);
    ASSERT_EQ(single.status, Status::kOk);
    ASSERT_LT(nested.window_probability, 1e-6);
    // Every value the nested engine integrated and accepted (saturated and capped pairs are 1 by
    // its rules, not by integration).
    int compared = 0;
    for (const PairResult& pair : nested.pairs) {
      if (pair.outcome != PairOutcome::kAccepted) continue;
      const PairResult& exact = single.pairs.at(static_cast<std::size_t>(pair.k) - 1);
      ASSERT_EQ(exact.k, pair.k);
      EXPECT_NEAR(pair.value, exact.value, 1e-8)
          << p.n_total() << " " << p.n_majority() << " pair " << pair.k;
      ++compared;
    }
    EXPECT_GT(compared, 0);
    for (const PairResult& pair : single.pairs) {
      EXPECT_TRUE(pair.converged);
      EXPECT_LT(pair.error_estimate, 1e-12);
    }
  }
}

TEST(Evaluate, TheSingleEngineGivesTheSameBitsOnAnyNumberOfThreads) {
  const Problem p = make(3000, 2400, 300, 0.8, 0.4, 0.5);
  expect_same(evaluate(p, single_engine(1)), evaluate(p, single_engine(2)));
  // Cancelled before the start, nothing is computed.
  std::atomic<bool> cancel{true};
  Options o = single_engine(2);
  o.cancel = &cancel;
  EXPECT_EQ(evaluate(p, o).status, Status::kCancelled);
}

}  // namespace
}  // namespace tarven

namespace tarven {
namespace {

TEST(Evaluate, FarApartGroupsGetAWindowThatFollowsThemAndNeverAbandon) {
  // A majority far above the minority: the standard window [-6.5, 6.5] cuts its upper tail. The
  // window moves, nothing is abandoned, and every integrated value is the exact one.
  for (const Problem& p : {make(200, 160, 20, 1.0, 0.5, 0.2), make(200, 160, 20, 4.0, 0.5, 0.2),
                           make(200, 160, 20, 6.0, 0.5, 0.2), make(200, 160, 20, 8.0, 0.5, 0.2),
                           make(200, 160, 1, 2.0, 0.5, 0.2), make(200, 160, 1, 4.0, 0.5, 0.2),
                           make(200, 160, 1, 8.0, 0.5, 0.2)}) {
    SCOPED_TRACE(::testing::Message() << p.n_hired() << " hired, d " << p.d());
    const Result nested = evaluate(p, Options::nested());
    ASSERT_EQ(nested.status, Status::kOk);
    EXPECT_EQ(nested.window.moved, nested.window_probability > 1e-5);
    if (nested.window.moved) {
      EXPECT_GT(nested.window.high, p.d() + 3.0);
      EXPECT_LT(nested.window.low, -3.0);
    }
    const Result exact = evaluate(p, single_engine(1));
    for (const PairResult& pair : nested.pairs) {
      if (pair.outcome != PairOutcome::kAccepted) continue;
      EXPECT_NEAR(pair.value, exact.pairs.at(static_cast<std::size_t>(pair.k) - 1).value, 1e-8)
          << "pair " << pair.k;
    }
    EXPECT_TRUE(nested.discrepancies.empty());
  }
}

TEST(Evaluate, APairValueThatTheExactEngineContradictsIsReported) {
  Options o = Options::nested();
  // Pair 2 of the typical problem off by `by`.
  auto off_by = [&](double by) {
    const core::ScopedSeams seams(
        {.adjust_result = [by](int k, double, double, double r) { return k == 2 ? r + by : r; }});
    return evaluate(kTypical, o);
  };
  // 3e-5: more than the window can explain.
  const Result r = off_by(3e-5);
  ASSERT_EQ(r.status, Status::kOk);
  ASSERT_EQ(r.discrepancies.size(), 1u);
  const PairDiscrepancy& d = r.discrepancies[0];
  EXPECT_EQ(d.k, 2);
  EXPECT_EQ(d.i, 5);
  EXPECT_EQ(d.j, 2);
  EXPECT_NEAR(d.difference, 3e-5, 1e-8);
  EXPECT_EQ(d.nested, r.pairs[1].stored);
  // 1e-5 off is within what the window may explain: no report.
  EXPECT_TRUE(off_by(1e-5).discrepancies.empty());
  o.check_pairs = false;
  EXPECT_TRUE(off_by(1e-3).discrepancies.empty());
}

}  // namespace
}  // namespace tarven
