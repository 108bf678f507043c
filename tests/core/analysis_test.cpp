// The one call every front end wraps: what it joins, the status it gives, how it can be watched
// and stopped.

#include "tarven/analysis.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <variant>

#include "core/seams.h"

namespace tarven {
namespace {

Problem make(int ntot, int nmaj, int nsel, double d, double rho, double retention) {
  return std::get<Problem>(Problem::make(ntot, nmaj, nsel, d, rho, retention));
}

const Problem kTypical = make(10, 7, 4, 0.5, 0.3, 0.6);

TEST(Analyse, AnOkAnalysisIsTheEvaluationWithItsRatesAndPopulationValues) {
  const Problem p = make(300, 240, 60, 1.0, 0.5, 0.3);
  Questions q;
  q.thresholds = {"0.8", "0.9"};
  const Analysis a = analyse(p, q);
  ASSERT_EQ(a.status, AnalysisStatus::kOk) << a.message;
  EXPECT_TRUE(a.message.empty());

  const Result r = evaluate(p);
  ASSERT_EQ(a.result.distribution.size(), r.distribution.size());
  std::vector<Split> splits;
  for (std::size_t s = 0; s < r.distribution.size(); ++s) {
    EXPECT_EQ(a.result.distribution[s].prob, r.distribution[s].prob);
    splits.push_back({r.distribution[s].n_minority_hired, r.distribution[s].n_majority_hired,
                      r.distribution[s].prob});
  }
  RatesRequest request;
  request.n_majority = 240;
  request.n_minority = 60;
  request.n_hired = 60;
  request.splits = splits;
  request.thresholds = q.thresholds;
  const Rates rates = *compute_rates(request).value;
  EXPECT_EQ(a.rates.p_sig_fisher, rates.p_sig_fisher);
  ASSERT_EQ(a.rates.thresholds.size(), 2u);
  EXPECT_EQ(a.rates.thresholds[1].p_ai_lt, rates.thresholds[1].p_ai_lt);
  EXPECT_EQ(a.population->ai, population_values(p).value->ai);
  EXPECT_EQ(a.population_unscreened->ai, unscreened_population_values(0.8, 0.2, 1.0).value->ai);
}

TEST(Analyse, EachWayAnAnalysisFailsHasItsStatusAndMessage) {
  struct Case {
    const char* name;
    core::Seams seams;
    Options options;
    Questions questions;
    AnalysisStatus status;
    std::string message;
  };
  Questions percent;
  percent.thresholds = {"80"};
  Options cancelled;
  static const std::atomic<bool> kCancelled{true};
  cancelled.cancel = &kCancelled;
  const std::vector<Case> cases = {
      {"abandoned",
       {.adjust_result = [](int k, double, double, double r) { return k == 2 ? 1.5 : r; }},
       Options::nested(),
       {},
       AnalysisStatus::kAbandoned,
       "no acceptable probability for 1 minority hires after 25 narrower integration attempts"},
      {"library stop",
       {.outer_ier = [](int k, double, double) { return k == 2 ? 6 : 0; }},
       Options::nested(),
       {},
       AnalysisStatus::kNumericalError,
       "DQAG: ABNORMAL RETURN, error number 6"},
      {"unconverged pair",
       {.unconverged_pair = 2},
       Options{},
       {},
       AnalysisStatus::kNumericalError,
       "the integral of pair 2 did not reach its tolerance"},
      {"out of memory",
       {.fail_allocation = true},
       Options{},
       {},
       AnalysisStatus::kOutOfMemory,
       "not enough memory for a problem of this size"},
      {"cancelled", {}, cancelled, {}, AnalysisStatus::kCancelled, "interrupted"},
      {"percentage",
       {},
       Options::nested(),
       percent,
       AnalysisStatus::kInvalidQuestions,
       "threshold 80: must lie above 0 and at most 1 (a percentage? 80 % is 0.80)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const core::ScopedSeams seams(c.seams);
    const Analysis a = analyse(kTypical, c.questions, c.options);
    EXPECT_EQ(a.status, c.status);
    EXPECT_TRUE(a.message.starts_with(c.message)) << a.message;
    EXPECT_EQ(a.result.engine, c.options.engine);
    // No rates without a whole distribution, and the columns say so.
    EXPECT_TRUE(a.rates.thresholds.empty());
    const std::vector<SummaryField> fields = summary_fields(kTypical, c.questions, a);
    for (const SummaryField& f : fields) {
      if (f.name == "status") {
        EXPECT_EQ(std::get<std::string>(f.value), status_name(c.status));
      } else if (f.name == "error") {
        EXPECT_EQ(std::get<std::string>(f.value), a.message);
      } else if (f.name.starts_with("p_") || f.name.starts_with("ai_q")) {
        EXPECT_TRUE(f.missing()) << f.name;
      }
    }
  }
}

TEST(Analyse, QuestionsAreRefusedWithWhatIsAllowed) {
  auto refusal = [](std::vector<std::string> thresholds, double alpha, std::vector<double> levels) {
    Questions q;
    q.thresholds = std::move(thresholds);
    q.alpha = alpha;
    q.quantile_levels = std::move(levels);
    return check_questions(q).value_or("");
  };
  EXPECT_EQ(refusal({"0.8", "1", "0.825"}, 0.05, {0.5, 1.0}), "");
  EXPECT_EQ(refusal({"0.8", "0.80"}, 0.05, {}), "threshold 0.80: given twice");
  EXPECT_EQ(refusal({"1.5"}, 0.05, {}),
            "threshold 1.5: must lie above 0 and at most 1 (a percentage? 1.5 % is 0.015)");
  EXPECT_EQ(refusal({"250"}, 0.05, {}), "threshold 250: must lie above 0 and at most 1");
  EXPECT_TRUE(refusal({"0"}, 0.05, {}).starts_with("threshold \"0\": must be greater than 0"));
  EXPECT_TRUE(refusal({"-0.8"}, 0.05, {}).starts_with("threshold \"-0.8\": not a decimal number"));
  EXPECT_EQ(refusal({"0.8"}, 1.0, {}), "alpha = 1: must lie strictly between 0 and 1");
  EXPECT_EQ(refusal({"0.8"}, 0.05, {0.0}), "quantile level 0: must lie above 0 and at most 1");
  EXPECT_EQ(refusal({"0.8"}, 0.05, {0.25, 0.25}), "quantile level 0.25: given twice");
}

TEST(Analyse, EngineNamesReadBackAndNothingElseIsAnEngine) {
  for (const Engine e : kEngines) EXPECT_EQ(parse_engine(engine_name(e)), e);
  for (const char* word : {"", "Single", "single ", "nest", "exact", "1"})
    EXPECT_FALSE(parse_engine(word)) << word;
}

TEST(Analyse, TheRatesNeverThrowEvenWhenACallerSuppliedFunctionDoes) {
  const Survival throws = [](double) -> double { throw std::runtime_error("no"); };
  const Outcome<PopulationValues> v =
      population_values(0.5, 0.2, throws, [](double x) { return x < 0 ? 1.0 : 0.0; });
  EXPECT_FALSE(v.value);
  EXPECT_FALSE(v.error.empty());
}

// Watching and stopping a long analysis: the observer hears of it on the caller's thread, and a
// cancel set from there ends it.
using Clock = std::chrono::steady_clock;

struct Watcher : Observer {
  explicit Watcher(int cancel_at_call) : cancel_at_call(cancel_at_call) {}
  int cancel_at_call;  // 0: after one second instead
  std::atomic<bool> cancel{false};
  std::thread::id caller = std::this_thread::get_id();
  Clock::time_point start = Clock::now();
  Clock::time_point last = start;
  Clock::time_point cancelled_at{};
  double longest_gap = 0.0;
  int calls = 0;
  int pairs = 0;
  bool foreign_thread = false;
  void pair(const PairResult& p) override { pairs = std::max(pairs, p.k); }
  void progress(std::int64_t, std::int64_t) override {
    const Clock::time_point now = Clock::now();
    longest_gap = std::max(longest_gap, std::chrono::duration<double>(now - last).count());
    last = now;
    ++calls;
    foreign_thread |= std::this_thread::get_id() != caller;
    const bool due =
        cancel_at_call > 0 ? calls == cancel_at_call : now - start >= std::chrono::seconds(1);
    if (!cancel && due) {
      cancelled_at = now;
      cancel = true;
    }
  }
};

struct WatchedCase {
  const char* name;
  Problem problem;
  Options options;
};

std::vector<WatchedCase> watched_cases() {
  Options nested_two = Options::nested();
  nested_two.threads = 2;
  return {
      {"single, a million applicants", make(1000000, 500000, 500000, 0.5, 0.3, 0.6), Options{}},
      // Pairs of a tenth of a second and more: the integrand itself keeps the heartbeat going.
      {"nested, one thread", make(300, 240, 60, 1.0, 0.5, 0.3), Options::nested_straightforward()},
      {"nested, two threads", make(1000, 800, 100, 0.8, 0.4, 0.5), nested_two},
  };
}

TEST(AnalyseProgress, ACancelFromTheObserverEndsTheAnalysisOnEveryEngine) {
  for (const WatchedCase& c : watched_cases()) {
    SCOPED_TRACE(c.name);
    Watcher watcher(3);
    Options o = c.options;
    o.cancel = &watcher.cancel;
    const Analysis a = analyse(c.problem, {}, o, &watcher);
    EXPECT_EQ(a.status, AnalysisStatus::kCancelled);
    EXPECT_EQ(watcher.calls, 3);
    EXPECT_FALSE(watcher.foreign_thread);
  }
}

// The promise a binding relies on for its progress bar and its interrupt key: reports at least
// every 0.25 s, and the end within 0.5 s of a cancel.
TEST(AnalyseTiming, LongAnalysesReportOftenAndStopPromptlyWhenCancelled) {
  for (const WatchedCase& c : watched_cases()) {
    SCOPED_TRACE(c.name);
    Watcher watcher(0);
    Options o = c.options;
    o.cancel = &watcher.cancel;
    const Analysis a = analyse(c.problem, {}, o, &watcher);
    const Clock::time_point end = Clock::now();
    EXPECT_EQ(a.status, AnalysisStatus::kCancelled);
    ASSERT_TRUE(watcher.cancel);
    EXPECT_LE(watcher.longest_gap, 0.25);
    EXPECT_LE(std::chrono::duration<double>(end - watcher.cancelled_at).count(), 0.5);
    EXPECT_GE(watcher.calls, 4);
    // The single-integral engine's pairs were heard of while they were computed, not all at the
    // end (the nested engine's first pair alone takes longer than the second before the cancel).
    if (c.options.engine == Engine::kSingle) {
      EXPECT_GT(watcher.pairs, 0);
    }
  }
}

// At d = 0 the groups do not differ and every split follows the hypergeometric distribution,
// whatever the pre-screening: no split may fall below zero on the way, up to a million applicants.
TEST(AnalyseLadder, NoSplitBelowZeroAndEverySplitHypergeometricAtNoDifference) {
  for (const Problem& p :
       {make(3000, 2100, 1500, 0.0, 0.4, 0.5), make(30000, 21000, 3000, 0.0, 0.4, 0.5),
        make(300000, 210000, 3000, 0.0, 0.4, 0.5), make(1000000, 700000, 2000, 0.0, 0.4, 0.5)}) {
    SCOPED_TRACE(p.n_total());
    const Analysis a = analyse(p);
    ASSERT_EQ(a.status, AnalysisStatus::kOk) << a.message;
    const std::vector<double> oracle =
        hypergeometric_probabilities(p.n_majority(), p.n_minority(), p.n_hired());
    ASSERT_EQ(a.result.distribution.size(), oracle.size());
    double worst = 0.0;
    for (std::size_t s = 0; s < oracle.size(); ++s) {
      const double prob = a.result.distribution[s].prob;
      ASSERT_GE(prob, 0.0) << "split " << s;
      ASSERT_LE(prob, 1.0) << "split " << s;
      worst = std::max(worst, std::fabs(prob - oracle[s]));
    }
    EXPECT_LT(worst, 1e-12);
  }
}

}  // namespace
}  // namespace tarven
