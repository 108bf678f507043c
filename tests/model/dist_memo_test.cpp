#include "model/dist_memo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "model/integrands.h"
#include "model/prescreened.h"
#include "model_test_support.h"
#include "numlib/lbeta.h"

namespace tarven::model {
namespace {

using testing::problem;
using testing::RecordingSink;

std::uint64_t bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

// An entry whose every field is a distinct function of x, so a mixed-up entry shows.
DistEntry made_up(double x) {
  DistEntry e;
  e.log_density = -x * 3.0;
  e.log_dist = x / 7.0;
  e.log_complement = x * 5.0;
  e.outcome.ier = static_cast<int>(bits(x) % 3);
  e.outcome.abserr = x * 1e-9;
  e.outcome.subintervals = static_cast<int>(bits(x) % 12500);
  return e;
}

void expect_same(const DistEntry& got, const DistEntry& want, double x) {
  EXPECT_EQ(bits(got.log_density), bits(want.log_density)) << x;
  EXPECT_EQ(bits(got.log_dist), bits(want.log_dist)) << x;
  EXPECT_EQ(bits(got.log_complement), bits(want.log_complement)) << x;
  EXPECT_EQ(got.outcome.ier, want.outcome.ier) << x;
  // The estimate matters only for an abnormal outcome, whose line prints it.
  if (want.outcome.ier != 0) {
    EXPECT_EQ(bits(got.outcome.abserr), bits(want.outcome.abserr)) << x;
    EXPECT_EQ(got.outcome.subintervals, want.outcome.subintervals) << x;
  }
}

std::vector<double> abscissae(std::size_t count, unsigned seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> window(-6.5, 6.5);
  std::vector<double> xs(count);
  for (double& x : xs) x = window(random);
  return xs;
}

TEST(DistMemo, KeepsWhatWasStoredPerGroupAndBitPattern) {
  auto memo = std::make_unique<DistMemo>();
  MemoCursor cursor;
  DistEntry got;
  EXPECT_FALSE(memo->find(0, 0.5, cursor, got));

  memo->insert(0, 0.5, made_up(0.5), cursor);
  memo->insert(1, 0.5, made_up(-1.0), cursor);
  memo->insert(0, 0.0, made_up(2.0), cursor);
  ASSERT_TRUE(memo->find(0, 0.5, cursor, got));
  expect_same(got, made_up(0.5), 0.5);
  ASSERT_TRUE(memo->find(1, 0.5, cursor, got));
  expect_same(got, made_up(-1.0), 0.5);
  // Keyed by the bits: -0.0 is not 0.0, and the neighbouring double is another abscissa.
  EXPECT_FALSE(memo->find(0, -0.0, cursor, got));
  EXPECT_FALSE(memo->find(0, std::nextafter(0.5, 1.0), cursor, got));
  EXPECT_FALSE(memo->find(1, 0.0, cursor, got));
  EXPECT_EQ(memo->size(0), 2u);
  EXPECT_EQ(memo->size(1), 1u);
}

TEST(DistMemo, FindsEntriesInAnyOrderAndFromAnyCursor) {
  auto memo = std::make_unique<DistMemo>();
  const std::vector<double> xs = abscissae(5000, 1);
  MemoCursor writer;
  for (double x : xs) memo->insert(0, x, made_up(x), writer);

  // In the order written (the entry after the last one found), backwards, and shuffled, each
  // from a fresh cursor, as another thread would.
  std::vector<double> backwards(xs.rbegin(), xs.rend());
  std::vector<double> shuffled = xs;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937_64(2));
  const std::vector<const std::vector<double>*> orders = {&xs, &backwards, &shuffled};
  for (const std::vector<double>* order : orders) {
    MemoCursor reader;
    for (double x : *order) {
      DistEntry got;
      ASSERT_TRUE(memo->find(0, x, reader, got)) << x;
      expect_same(got, made_up(x), x);
    }
  }
}

TEST(DistMemo, AFullTableKeepsItsEntriesAndComputesTheRestAgain) {
  auto memo = std::make_unique<DistMemo>();
  const std::size_t capacity = DistMemo::kCapacity[1];
  const std::vector<double> xs = abscissae(capacity + 500, 3);
  MemoCursor cursor;
  for (double x : xs) memo->insert(1, x, made_up(x), cursor);

  EXPECT_EQ(memo->size(1), capacity);
  EXPECT_GE(memo->overflows(), 500u);
  std::size_t found = 0;
  MemoCursor reader;
  for (double x : xs) {
    DistEntry got;
    if (!memo->find(1, x, reader, got)) continue;
    ++found;
    expect_same(got, made_up(x), x);
  }
  // Whatever was kept is found and right; nothing was replaced.
  EXPECT_EQ(found, capacity);
}

TEST(DistMemo, ThreadsSharingTheTableSeeOnlyWhatWasStoredForTheirAbscissa) {
  auto memo = std::make_unique<DistMemo>();
  const std::vector<double> xs = abscissae(20000, 4);
  // Every thread looks each abscissa up and stores it when absent, in its own order, so the same
  // abscissae are missed and stored by several threads at once.
  auto worker = [&](unsigned seed) {
    std::vector<double> order = xs;
    std::shuffle(order.begin(), order.end(), std::mt19937_64(seed));
    MemoCursor cursor;
    for (double x : order) {
      DistEntry got;
      if (memo->find(0, x, cursor, got))
        expect_same(got, made_up(x), x);
      else
        memo->insert(0, x, made_up(x), cursor);
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < 4; ++t) threads.emplace_back(worker, 10 + t);
  for (auto& t : threads) t.join();

  MemoCursor reader;
  for (double x : xs) {
    DistEntry got;
    ASSERT_TRUE(memo->find(0, x, reader, got)) << x;
    expect_same(got, made_up(x), x);
  }
  EXPECT_GE(memo->size(0), xs.size());
}

bool same(const Diagnostic& a, const Diagnostic& b) {
  return a.source == b.source && a.ier == b.ier && bits(a.abscissa) == bits(b.abscissa) &&
         bits(a.abserr) == bits(b.abserr) && a.subintervals == b.subintervals;
}

TEST(DistMemo, IntegrandsGiveTheSameBitsAndTheSameReportsWithTheMemo) {
  // A problem whose majority distribution values end abnormally at many abscissae.
  const Population p = problem(-3.0, 0.9, 0.01, 4, 4);
  RecordingSink plain_reports;
  RecordingSink memo_reports;
  PairState plain(p, plain_reports);
  PairState memoised(p, memo_reports);
  auto memo = std::make_unique<DistMemo>();
  memoised.memo = memo.get();

  // Twice over the same abscissae: the second round is answered by the memo and must report again
  // what the first reported.
  for (int round = 0; round < 2; ++round)
    for (const int j : {1, 4}) {
      for (PairState* s : {&plain, &memoised}) {
        s->iorder = 2;
        s->jorder = j;
        s->lbeta1 = numlib::DLBETA(3.0, 2.0).value;
      }
      for (const double x : {-1.25, 0.0, 0.75, 2.5}) {
        EXPECT_EQ(bits(fun(x, memoised)), bits(fun(x, plain))) << x;
        EXPECT_EQ(bits(memoised.lbeta2), bits(plain.lbeta2));
        EXPECT_EQ(bits(fu1(x, memoised)), bits(fu1(x, plain))) << x;
      }
    }
  EXPECT_GT(memo->size(0) + memo->size(1), 0u);
  ASSERT_EQ(memo_reports.events.size(), plain_reports.events.size());
  for (std::size_t n = 0; n < plain_reports.events.size(); ++n)
    EXPECT_TRUE(same(memo_reports.events[n], plain_reports.events[n])) << n;
  // The comparison means something only if the problem did report.
  const auto dist_reports =
      std::count_if(plain_reports.events.begin(), plain_reports.events.end(),
                    [](const Diagnostic& d) { return d.source == DiagnosticSource::kDist; });
  EXPECT_GT(dist_reports, 0);
}

TEST(DistMemo, AnEntryPlantedForAnAbscissaIsWhatTheIntegrandGets) {
  // Evidence that the integrand reads the memo rather than recomputing.
  const Population p = problem(0.5, 0.3, 0.6, 4, 4);
  RecordingSink sink;
  PairState s(p, sink);
  s.jorder = 2;
  s.lbeta2 = numlib::DLBETA(3.0, 2.0).value;
  const double y = 0.3;

  auto memo = std::make_unique<DistMemo>();
  DistEntry planted;
  planted.log_density = std::log(0.25);
  planted.log_dist = std::log(0.5);
  planted.log_complement = std::log(0.5);
  memo->insert(0, y, planted, s.memo_cursor);
  s.memo = memo.get();
  double expected = planted.log_density + planted.log_dist * 1.0;
  expected = expected + planted.log_complement * 2.0;
  expected = expected - s.lbeta2;
  EXPECT_EQ(bits(fu1(y, s)), bits(std::exp(expected)));
}

TEST(MinorityNormaliser, FollowsThePairAndKeepsTheBitsOfDlbeta) {
  // fun forms lbeta2 only when the pair changes; whatever the order of the pairs, the value it
  // leaves must be DLBETA's own, and fun's result that of a state that has seen no other pair.
  const Population p = problem(0.5, 0.3, 0.6, 5, 6);
  RecordingSink sink;
  PairState s(p, sink);
  s.iorder = 3;
  s.lbeta1 = numlib::DLBETA(3.0, 3.0).value;
  for (const int j : {2, 5, 5, 1, 2, 6}) {
    s.jorder = j;
    const double value = fun(0.4, s);
    EXPECT_EQ(bits(s.lbeta2), bits(numlib::DLBETA(6.0 - j + 1.0, static_cast<double>(j)).value))
        << j;

    PairState fresh(p, sink);
    fresh.iorder = 3;
    fresh.jorder = j;
    fresh.lbeta1 = s.lbeta1;
    EXPECT_EQ(bits(fun(0.4, fresh)), bits(value)) << j;
  }
}

}  // namespace
}  // namespace tarven::model
