#include "engine/nested/enumeration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <deque>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace tarven::engine::nested {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Call {
  int k, i, j;
  double a, b;
};

// Answers the attempts with scripted integrals, in the order they are asked for, and records what
// it was asked and which hooks it received.
class ScriptedSource : public PairSource {
 public:
  explicit ScriptedSource(std::vector<double> results, double lbeta1 = -1.0)
      : results_(results.begin(), results.end()), lbeta1_(lbeta1) {}

  PairAttempt attempt(int k, int i, int j, double a, double b) override {
    EXPECT_EQ(stopped, 0) << "attempt after enumeration_stopped";
    calls.push_back({k, i, j, a, b});
    if (results_.empty()) {
      ADD_FAILURE() << "more attempts than scripted (k = " << k << ")";
      return {lbeta1_, 0.5};
    }
    const double r = results_.front();
    results_.pop_front();
    return {lbeta1_, r};
  }
  void pair_finished(int k) override { finished.push_back(k); }
  void enumeration_stopped() override { ++stopped; }

  std::size_t unused() const { return results_.size(); }
  std::vector<Call> calls;
  std::vector<int> finished;
  int stopped = 0;

 private:
  std::deque<double> results_;
  double lbeta1_;
};

std::vector<double> repeated(double value, int count, std::vector<double> tail = {}) {
  std::vector<double> v(static_cast<std::size_t>(count), value);
  v.insert(v.end(), tail.begin(), tail.end());
  return v;
}

// Keeps every attempt the enumeration reports; can say the evaluation stopped after a number of
// attempts.
class RecordingListener : public EnumerationListener {
 public:
  void attempted(const AttemptRecord& record) override { records.push_back(record); }
  // Stops once the source has been asked `stop_after_calls` times, or once `stop_after_records`
  // attempts were reported (-1: never).
  bool stopped() const override {
    if (stop_after_records >= 0 && records.size() >= static_cast<std::size_t>(stop_after_records))
      return true;
    return stop_after_calls >= 0 && calls != nullptr &&
           calls->size() >= static_cast<std::size_t>(stop_after_calls);
  }

  // Attempts that were integrated (every record but the saturated pairs).
  int integrated() const {
    int n = 0;
    for (const AttemptRecord& r : records) n += r.outcome != AttemptOutcome::kSaturated ? 1 : 0;
    return n;
  }
  // Pairs decided by an integral (accepted or capped).
  int decided() const {
    int n = 0;
    for (const AttemptRecord& r : records)
      n += r.outcome == AttemptOutcome::kAccepted || r.outcome == AttemptOutcome::kCapped ? 1 : 0;
    return n;
  }
  std::vector<AttemptRecord> records;
  const std::vector<Call>* calls = nullptr;
  int stop_after_calls = -1;
  int stop_after_records = -1;
};

Enumeration enumerate(int nmaj, int nmin, int nsel, PairSource& source,
                      RecordingListener& listener) {
  return enumerate_pairs(model::make_pair_plan(nmaj, nmin, nsel), model::kStandardWindow, source,
                         listener);
}

// --- mapping of w to the pair (i, j) ------------------------------------------------------------

TEST(EnumerationMapping, SevenMajorityThreeMinorityFourHired) {
  ScriptedSource source({0.2, 0.5, 0.8});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_EQ(e.jlow, 0);
  EXPECT_EQ(e.npair, 3);
  ASSERT_EQ(source.calls.size(), 3u);
  const int expected[3][3] = {{1, 4, 3}, {2, 5, 2}, {3, 6, 1}};
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(source.calls[n].k, expected[n][0]);
    EXPECT_EQ(source.calls[n].i, expected[n][1]);
    EXPECT_EQ(source.calls[n].j, expected[n][2]);
  }
  EXPECT_EQ(e.prob, (std::vector<double>{0.2, 0.5, 0.8, 0.0}));
  EXPECT_FALSE(e.abandoned);
}

TEST(EnumerationMapping, MoreHiresThanMajorityApplicantsStartsAboveZero) {
  ScriptedSource source({0.3, 0.7});
  RecordingListener listener;
  const Enumeration e = enumerate(2, 8, 5, source, listener);
  EXPECT_EQ(e.jlow, 3);
  EXPECT_EQ(e.npair, 2);
  ASSERT_EQ(source.calls.size(), 2u);
  EXPECT_EQ(source.calls[0].i, 1);
  EXPECT_EQ(source.calls[0].j, 5);
  EXPECT_EQ(source.calls[1].i, 2);
  EXPECT_EQ(source.calls[1].j, 4);
  EXPECT_EQ(e.prob.size(), 3u);
}

TEST(EnumerationMapping, SingleHireComparesTheTwoBestApplicants) {
  ScriptedSource source({0.6});
  RecordingListener listener;
  const Enumeration e = enumerate(9, 4, 1, source, listener);
  EXPECT_EQ(e.npair, 1);
  ASSERT_EQ(source.calls.size(), 1u);
  EXPECT_EQ(source.calls[0].i, 9);
  EXPECT_EQ(source.calls[0].j, 4);
}

TEST(EnumerationMapping, HiringEveryoneNeedsNoPair) {
  ScriptedSource source({});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 10, source, listener);
  EXPECT_EQ(e.jlow, 3);
  EXPECT_EQ(e.npair, 0);
  EXPECT_EQ(e.prob.size(), 1u);
  EXPECT_TRUE(source.calls.empty());
  EXPECT_TRUE(listener.records.empty());
  EXPECT_EQ(source.stopped, 1);
  EXPECT_FALSE(e.abandoned);
}

// --- what the listener is told -----------------------------------------------------------------

TEST(EnumerationRecords, EachAttemptWithItsIntervalDecisionAndStoredValue) {
  ScriptedSource source({1.00004, 1.5}, -std::log(140.0));
  RecordingListener listener;
  enumerate(7, 3, 4, source, listener);
  ASSERT_EQ(listener.records.size(), 3u);
  const AttemptRecord& capped = listener.records[0];
  EXPECT_EQ(capped.k, 1);
  EXPECT_EQ(capped.w, 0);
  EXPECT_EQ(capped.i, 4);
  EXPECT_EQ(capped.j, 3);
  EXPECT_EQ(capped.a, -6.5);
  EXPECT_EQ(capped.b, 6.5);
  EXPECT_EQ(capped.attempt.lbeta1, -std::log(140.0));
  EXPECT_EQ(capped.attempt.r, 1.00004);
  EXPECT_EQ(capped.outcome, AttemptOutcome::kCapped);
  EXPECT_EQ(capped.prob, 1.0);
  // The cap saturates the later pairs, which are reported without an integral.
  EXPECT_EQ(listener.records[1].outcome, AttemptOutcome::kSaturated);
  EXPECT_EQ(listener.records[2].k, 3);
}

TEST(EnumerationRecords, AStoppedEvaluationEndsTheEnumerationAtOnce) {
  ScriptedSource source({0.2, 0.5, 0.8});
  RecordingListener listener;
  listener.calls = &source.calls;
  listener.stop_after_calls = 2;  // stops during the second attempt
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_TRUE(e.stopped);
  EXPECT_FALSE(e.abandoned);
  EXPECT_EQ(source.calls.size(), 2u);
  // The attempt during which the evaluation stopped is not judged or reported.
  EXPECT_EQ(listener.records.size(), 1u);
  EXPECT_EQ(source.stopped, 1);

  // Stopped between two attempts, the next one is not even asked for.
  ScriptedSource second({0.2, 0.5, 0.8});
  RecordingListener between;
  between.stop_after_records = 1;
  EXPECT_TRUE(enumerate(7, 3, 4, second, between).stopped);
  EXPECT_EQ(second.calls.size(), 1u);
  EXPECT_EQ(between.records.size(), 1u);
}

// --- saturation, capping and acceptance ---------------------------------------------------------

TEST(EnumerationChecks, SlightlyAboveOneIsCappedToExactlyOne) {
  ScriptedSource source({1.00004});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_EQ(e.prob[0], 1.0);
  // the cap makes the next pairs saturate, so no further integral is asked for
  EXPECT_EQ(source.calls.size(), 1u);
  EXPECT_EQ(e.prob[1], 1.0);
  EXPECT_EQ(e.prob[2], 1.0);
}

TEST(EnumerationChecks, ClearlyAboveOneIsRetriedOnANarrowerInterval) {
  ScriptedSource source({1.00006, 0.4, 0.6, 0.9});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  ASSERT_EQ(source.calls.size(), 4u);
  EXPECT_EQ(source.calls[1].k, 1);
  EXPECT_DOUBLE_EQ(source.calls[1].a, -6.4);
  EXPECT_DOUBLE_EQ(source.calls[1].b, 6.4);
  EXPECT_EQ(source.calls[2].a, -6.5);  // the next pair starts from the full interval again
  EXPECT_EQ(e.prob[0], 0.4);
  EXPECT_EQ(listener.integrated(), 4);
  EXPECT_EQ(listener.decided(), 3);  // no pair line for the failure
}

TEST(EnumerationChecks, FallUpToTheToleranceIsAccepted) {
  ScriptedSource source({0.9, 0.89997, 0.95});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_EQ(source.calls.size(), 3u);
  EXPECT_EQ(e.prob[1], 0.89997);
}

TEST(EnumerationChecks, FallBeyondTheToleranceIsRetried) {
  ScriptedSource source({0.9, 0.89995, 0.92, 0.95});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  ASSERT_EQ(source.calls.size(), 4u);
  EXPECT_EQ(source.calls[2].k, 2);
  EXPECT_DOUBLE_EQ(source.calls[2].a, -6.4);
  EXPECT_EQ(e.prob[1], 0.92);
}

TEST(EnumerationChecks, FirstPairIsNeverAFall) {
  ScriptedSource source({0.0, 0.3, 0.6});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_EQ(source.calls.size(), 3u);
  EXPECT_EQ(e.prob[0], 0.0);
}

TEST(EnumerationChecks, CloseToOneSaturatesTheRest) {
  ScriptedSource source({0.9999995});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_EQ(source.calls.size(), 1u);
  EXPECT_EQ(e.prob, (std::vector<double>{0.9999995, 1.0, 1.0, 0.0}));
  EXPECT_EQ(listener.integrated(), 1);  // only the first pair was integrated
  EXPECT_EQ(listener.records.size(), 3u);
  EXPECT_EQ(listener.records[2].outcome, AttemptOutcome::kSaturated);
  EXPECT_EQ(source.stopped, 1);
  EXPECT_EQ(source.finished, (std::vector<int>{1}));
}

TEST(EnumerationChecks, NotCloseEnoughToOneIsIntegrated) {
  ScriptedSource source({0.999998, 0.9999985, 0.999999});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_EQ(source.calls.size(), 3u);
  EXPECT_EQ(e.prob[2], 0.999999);
}

// --- retry limits and abandonment ---------------------------------------------------------------

TEST(EnumerationRetries, TwentySixthValueAboveOneAbandons) {
  ScriptedSource source(repeated(1.5, 26));
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_TRUE(e.abandoned);
  EXPECT_EQ(e.abandoned_w, 0);
  EXPECT_EQ(e.abandoned_after, 25);
  ASSERT_EQ(source.calls.size(), 26u);
  EXPECT_DOUBLE_EQ(source.calls.back().a, -4.0);
  EXPECT_DOUBLE_EQ(source.calls.back().b, 4.0);
  EXPECT_EQ(source.stopped, 1);
  EXPECT_EQ(listener.integrated(), 26);
  EXPECT_EQ(listener.decided(), 0);
}

TEST(EnumerationRetries, TwentyFifthRetryStillCounts) {
  ScriptedSource source(repeated(1.5, 25, {0.3, 0.6, 0.9}));
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_FALSE(e.abandoned);
  EXPECT_EQ(e.prob[0], 0.3);
  EXPECT_EQ(source.unused(), 0u);
}

TEST(EnumerationRetries, FallsGoDownToTheNarrowestInterval) {
  RecordingListener listener;
  // the first pair is 0.9 and every later attempt at the second pair falls until the last one
  std::vector<double> script{0.9};
  for (int n = 0; n < 35; ++n) script.push_back(0.5);
  script.push_back(0.95);
  script.push_back(0.97);
  ScriptedSource falling(script);
  const Enumeration e = enumerate(7, 3, 4, falling, listener);
  EXPECT_FALSE(e.abandoned);
  EXPECT_EQ(e.prob[1], 0.95);
  ASSERT_EQ(falling.calls.size(), 38u);
  for (int n = 0; n <= 35; ++n) {
    const Call& call = falling.calls[static_cast<std::size_t>(n) + 1];
    EXPECT_EQ(call.k, 2);
    EXPECT_NEAR(call.a, -6.5 + n / 10.0, 1e-12) << "attempt " << n;
    EXPECT_EQ(call.a, -call.b) << "attempt " << n;
  }
  EXPECT_DOUBLE_EQ(falling.calls[36].a, -3.0);
  EXPECT_DOUBLE_EQ(falling.calls[36].b, 3.0);
}

TEST(EnumerationRetries, ThirtySixthFallAbandons) {
  std::vector<double> script{0.9};
  for (int n = 0; n < 36; ++n) script.push_back(0.5);
  ScriptedSource source(script);
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_TRUE(e.abandoned);
  EXPECT_EQ(e.abandoned_w, 1);
  EXPECT_EQ(e.abandoned_after, 35);
  EXPECT_EQ(source.calls.size(), 37u);
  EXPECT_EQ(source.finished, (std::vector<int>{1}));
  EXPECT_EQ(source.stopped, 1);
}

TEST(EnumerationRetries, CounterIsSharedAndTheLatestFailureSetsTheLimit) {
  // 30 falls are within the limit of falls, but the value above 1 that follows takes the counter
  // to 31, past the limit for values above 1
  std::vector<double> script{0.9};
  for (int n = 0; n < 30; ++n) script.push_back(0.5);
  script.push_back(1.1);
  ScriptedSource source(script);
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_TRUE(e.abandoned);
  EXPECT_EQ(e.abandoned_after, 30);
  EXPECT_EQ(source.unused(), 0u);
}

TEST(EnumerationRetries, CounterStartsAgainForEachPair) {
  std::vector<double> script = repeated(1.5, 20, {0.5});
  for (double v : repeated(1.5, 25, {0.8, 0.9})) script.push_back(v);
  ScriptedSource source(script);
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_FALSE(e.abandoned);
  EXPECT_EQ(source.calls[21].k, 2);
  EXPECT_EQ(source.calls[21].a, -6.5);
  EXPECT_EQ(e.prob[1], 0.8);
}

// --- results that are not finite numbers ---------------------------------------------------------

TEST(EnumerationNonFinite, NaNIsRetriedAndNeverStored) {
  ScriptedSource source({0.4, kNaN, 0.6, 0.8});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  ASSERT_EQ(source.calls.size(), 4u);
  EXPECT_DOUBLE_EQ(source.calls[2].a, -6.4);
  EXPECT_EQ(e.prob[1], 0.6);
  // the failed attempt is reported as such, with the value as it came
  ASSERT_EQ(listener.records.size(), 4u);
  EXPECT_EQ(listener.records[1].outcome, AttemptOutcome::kAboveOne);
  EXPECT_TRUE(std::isnan(listener.records[1].attempt.r));
  for (const AttemptRecord& r : listener.records) EXPECT_FALSE(std::isnan(r.prob));
}

TEST(EnumerationNonFinite, NaNAtTheFirstPairIsRetried) {
  ScriptedSource source({kNaN, 0.4, 0.6, 0.8});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_EQ(e.prob[0], 0.4);
}

TEST(EnumerationNonFinite, InfinitiesAreRetriedLikeValuesAboveOne) {
  const double inf = std::numeric_limits<double>::infinity();
  ScriptedSource source({-inf, inf, 0.4, 0.6, 0.8});
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_EQ(e.prob[0], 0.4);
  EXPECT_DOUBLE_EQ(source.calls[2].a, -6.3);
}

TEST(EnumerationNonFinite, PersistentNaNAbandonsAtTheLimitForValuesAboveOne) {
  ScriptedSource source(repeated(kNaN, 26));
  RecordingListener listener;
  const Enumeration e = enumerate(7, 3, 4, source, listener);
  EXPECT_TRUE(e.abandoned);
  EXPECT_EQ(e.abandoned_after, 25);
  EXPECT_FALSE(std::isnan(e.prob[0]));
}

// --- hooks for a source that works ahead ---------------------------------------------------------

TEST(EnumerationHooks, EveryDecidedPairIsReportedOnceInOrderThenTheStop) {
  ScriptedSource source({0.2, 1.2, 0.5, 0.8});
  RecordingListener listener;
  enumerate(7, 3, 4, source, listener);
  EXPECT_EQ(source.finished, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(source.stopped, 1);
}

}  // namespace
}  // namespace tarven::engine::nested
