#include "core/rates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/distributions/hypergeometric.hpp>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace tarven {
namespace {

// --- oracles built apart from the library ---------------------------------------------------

long double log_choose(int n, int k) {
  return std::lgammal(n + 1.0L) - std::lgammal(k + 1.0L) - std::lgammal(n - k + 1.0L);
}

// The split distribution when hiring ignores group (d = 0): hypergeometric, from log-gamma in
// long double.
struct NullDistribution {
  int n_majority, n_minority, n_hired, lo;
  std::vector<long double> prob;
  std::vector<Split> splits;
};

NullDistribution null_distribution(int n_majority, int n_minority, int n_hired) {
  NullDistribution d{n_majority, n_minority, n_hired, std::max(n_hired - n_majority, 0), {}, {}};
  for (int y = d.lo; y <= std::min(n_hired, n_minority); ++y) {
    const long double p = std::exp(log_choose(n_minority, y) + log_choose(n_majority, n_hired - y) -
                                   log_choose(n_majority + n_minority, n_hired));
    d.prob.push_back(p);
    d.splits.push_back({y, n_hired - y, static_cast<double>(p)});
  }
  return d;
}

// Fisher's two-sided p by summing the whole null distribution for every table.
long double direct_fisher_p(const NullDistribution& d, std::size_t x) {
  long double p = 0;
  for (const long double q : d.prob) {
    if (q <= d.prob[x] * (1 + 1e-7L)) p += q;
  }
  return p;
}

long double ratio(const Split& s, const NullDistribution& d) {
  return (static_cast<long double>(s.n_minority_hired) / d.n_minority) /
         (static_cast<long double>(s.n_majority_hired) / d.n_majority);
}

Rates rates_of(const RatesRequest& request) {
  Outcome<Rates> out = compute_rates(request);
  EXPECT_TRUE(out.error.empty()) << out.error;
  return out.value.value_or(Rates{});
}

RatesRequest request_for(const NullDistribution& d, std::vector<std::string> thresholds) {
  RatesRequest r;
  r.n_majority = d.n_majority;
  r.n_minority = d.n_minority;
  r.n_hired = d.n_hired;
  r.splits = d.splits;
  r.thresholds = std::move(thresholds);
  return r;
}

// --- threshold text ---------------------------------------------------------------------------

TEST(Thresholds, PositiveDecimalsAreRead) {
  for (const char* text : {"0.8", "1", "0.75", "00.80", "1.25", "0.000000000000000001"}) {
    EXPECT_TRUE(parse_threshold(text).value) << text;
  }
}

TEST(Thresholds, AnythingElseIsRefusedWithWhatIsAllowed) {
  for (const char* text : {"", ".8", "8.", "-0.8", "+0.8", "0", "0.000", "8e-1", " 0.8", "0.8 ",
                           "0,8", "four fifths", "0.8.1", "1234567890.123456789"}) {
    const Outcome<Threshold> t = parse_threshold(text);
    EXPECT_FALSE(t.value) << text;
    EXPECT_NE(t.error.find("such as 0.8, 1 or 0.75"), std::string::npos) << t.error;
  }
}

TEST(Thresholds, SuffixShowsTwoDecimalsOrAllThatMatter) {
  const std::pair<const char*, const char*> cases[] = {
      {"0.8", "0_80"},     {"1", "1_00"},     {"0.75", "0_75"}, {"0.825", "0_825"},
      {"0.8250", "0_825"}, {"007.5", "7_50"}, {"0.05", "0_05"}, {"12", "12_00"}};
  for (const auto& [text, suffix] : cases) {
    EXPECT_EQ(threshold_suffix(*parse_threshold(text).value), suffix) << text;
  }
}

TEST(Thresholds, EqualValuesWrittenDifferentlyAreRefusedNotMerged) {
  const NullDistribution d = null_distribution(8, 4, 4);
  const Outcome<Rates> out = compute_rates(request_for(d, {"0.8", "0.75", "0.80"}));
  EXPECT_FALSE(out.value);
  EXPECT_NE(out.error.find("\"0.8\" and \"0.80\""), std::string::npos) << out.error;
}

TEST(Quantiles, SuffixIsTheLevelInPercent) {
  const std::pair<double, const char*> cases[] = {
      {0.05, "q5"},  {0.025, "q2_5"},  {0.5, "q50"},      {0.07, "q7"},
      {1.0, "q100"}, {0.999, "q99_9"}, {0.0001, "q0_01"}, {0.1, "q10"}};
  for (const auto& [level, suffix] : cases) EXPECT_EQ(quantile_suffix(level), suffix) << level;
}

// --- the rule decided in integers -------------------------------------------------------------

TEST(ExactRule, RatioOfExactlyFourFifthsIsNotBelowFourFifths) {
  // 10 of 60 minority and 50 of 240 majority applicants hired: AI is 0.8 exactly
  ASSERT_LT((10.0 / 60.0) / (50.0 / 240.0), 0.8);  // the ratio in doubles would say otherwise
  const Split split[] = {{10, 50, 1.0}};
  RatesRequest r{240, 60, 60, split, {"0.8", "0.80000000001", "0.79999999999"}};
  const Rates rates = rates_of(r);
  EXPECT_EQ(rates.thresholds[0].p_ai_lt, 0.0);
  EXPECT_EQ(rates.thresholds[0].p_flag_two_sided, 0.0);
  EXPECT_EQ(rates.thresholds[1].p_ai_lt, 1.0);
  EXPECT_EQ(rates.thresholds[1].p_flag_two_sided, 1.0);
  EXPECT_EQ(rates.thresholds[2].p_ai_lt, 0.0);
}

TEST(ExactRule, TwoSidedFlagLooksAtTheMajorityRateToo) {
  // 50 of 240 minority and 10 of 60 majority hired: the majority rate is 0.8 of the minority's
  const Split split[] = {{50, 10, 1.0}};
  const Rates rates = rates_of({60, 240, 60, split, {"0.8", "0.81"}});
  EXPECT_EQ(rates.thresholds[0].p_flag_two_sided, 0.0);
  EXPECT_EQ(rates.thresholds[1].p_flag_two_sided, 1.0);
  EXPECT_EQ(rates.thresholds[1].p_ai_lt, 0.0);
}

TEST(ExactRule, ANullRateBesideAPositiveOneIsFlagged) {
  // 3 hires from 5 majority and 4 minority applicants; no minority hire, then no majority hire
  const Split splits[] = {{0, 3, 0.25}, {1, 2, 0.5}, {3, 0, 0.25}};
  const Rates rates = rates_of({5, 4, 3, splits, {"0.5"}});
  EXPECT_EQ(rates.thresholds[0].p_ai_lt, 0.25);          // undefined AI is not below
  EXPECT_EQ(rates.thresholds[0].p_flag_two_sided, 0.5);  // both ends flagged, (1,2) is 0.625
  EXPECT_EQ(rates.p_ai_undefined, 0.25);
}

TEST(ExactRule, HundredApplicantsEighteenHiredIsBelowFourFifthsAQuarterOfTheTime) {
  // N2 = 3 of 20 against 15 of 80 is AI 0.8 exactly and must not count; with it the answer
  // would be 0.49
  const NullDistribution d = null_distribution(80, 20, 18);
  const Rates rates = rates_of(request_for(d, {"0.8"}));
  EXPECT_NEAR(rates.thresholds[0].p_ai_lt, 0.2448, 0.5e-4);
}

// --- every rate against the hypergeometric distribution at d = 0 ------------------------------

class NullRates : public testing::Test {
 protected:
  // Undefined AI is possible (10 hires, 12 minority applicants) and no split sits on 0.8 or 1.25.
  NullDistribution d = null_distribution(30, 12, 10);
  RatesRequest request = request_for(d, {"0.8", "1.25"});
  Rates rates = rates_of(request);
};

TEST_F(NullRates, NoSplitSitsOnAThreshold) {
  for (const Split& s : d.splits) {
    if (s.n_majority_hired == 0) continue;
    EXPECT_GT(std::fabs(ratio(s, d) - 0.8L), 1e-6L);
    EXPECT_GT(std::fabs(ratio(s, d) - 1.25L), 1e-6L);
  }
}

TEST_F(NullRates, ExpectedSelectionRatesAreTheOverallRate) {
  // hiring ignores group, so either group's expected rate is 10 / 42
  EXPECT_NEAR(rates.sr_majority_mean, 10.0 / 42.0, 1e-15);
  EXPECT_NEAR(rates.sr_minority_mean, 10.0 / 42.0, 1e-15);
  EXPECT_NEAR(rates.n_minority_hired_mean, 10.0 * 12.0 / 42.0, 1e-14);
}

TEST_F(NullRates, MomentsOfTheRatioGivenItIsDefined) {
  long double mass = 0, first = 0, second = 0;
  for (std::size_t i = 0; i < d.splits.size(); ++i) {
    if (d.splits[i].n_majority_hired == 0) continue;
    const long double a = ratio(d.splits[i], d);
    mass += d.prob[i];
    first += d.prob[i] * a;
    second += d.prob[i] * a * a;
  }
  const long double mean = first / mass;
  EXPECT_NEAR(*rates.ai_mean, static_cast<double>(mean), 1e-14);
  EXPECT_NEAR(*rates.ai_sd, static_cast<double>(std::sqrt(second / mass - mean * mean)), 1e-13);
  EXPECT_NEAR(rates.p_ai_undefined, static_cast<double>(d.prob.back()), 1e-18);
}

TEST_F(NullRates, TestAndRuleProbabilitiesBySummingSplits) {
  const long double z_critical = 1.959963984540054L;  // standard normal 0.975 quantile
  const long double pooled = 10.0L / 42.0L;
  const long double scale = std::sqrt(pooled * (1 - pooled) * (1.0L / 12 + 1.0L / 30));
  long double fisher = 0, z = 0, lt[2] = {}, lt_fisher[2] = {}, lt_z[2] = {};
  const long double thresholds[2] = {0.8L, 1.25L};
  for (std::size_t i = 0; i < d.splits.size(); ++i) {
    const Split& s = d.splits[i];
    const bool sig_fisher = direct_fisher_p(d, i) <= 0.05L;
    const bool sig_z =
        std::fabs(s.n_minority_hired / 12.0L - s.n_majority_hired / 30.0L) / scale >= z_critical;
    fisher += sig_fisher ? d.prob[i] : 0;
    z += sig_z ? d.prob[i] : 0;
    for (int t = 0; t < 2; ++t) {
      if (s.n_majority_hired == 0 || !(ratio(s, d) < thresholds[t])) continue;
      lt[t] += d.prob[i];
      lt_fisher[t] += sig_fisher ? d.prob[i] : 0;
      lt_z[t] += sig_z ? d.prob[i] : 0;
    }
  }
  EXPECT_GT(fisher, 0.0L);  // the table has significant splits on both sides, or the test is idle
  EXPECT_NEAR(rates.p_sig_fisher, static_cast<double>(fisher), 1e-15);
  EXPECT_NEAR(rates.p_sig_z, static_cast<double>(z), 1e-15);
  for (int t = 0; t < 2; ++t) {
    EXPECT_NEAR(rates.thresholds[t].p_ai_lt, static_cast<double>(lt[t]), 1e-15);
    EXPECT_NEAR(rates.thresholds[t].p_flag_and_sig_fisher, static_cast<double>(lt_fisher[t]),
                1e-15);
    EXPECT_NEAR(rates.thresholds[t].p_flag_and_sig_z, static_cast<double>(lt_z[t]), 1e-15);
  }
  // 0.8 and 1.25 are mirror thresholds: flagged two-sided means below 0.8 or above 1.25
  long double above = 0;
  for (std::size_t i = 0; i < d.splits.size(); ++i) {
    if (d.splits[i].n_majority_hired == 0 || ratio(d.splits[i], d) > 1.25L) above += d.prob[i];
  }
  EXPECT_NEAR(rates.thresholds[0].p_flag_two_sided, static_cast<double>(lt[0] + above), 1e-15);
}

TEST_F(NullRates, QuantilesAreTheFirstSplitReachingTheLevel) {
  ASSERT_EQ(rates.quantiles.size(), kDefaultQuantileLevels.size());
  for (const AiQuantile& q : rates.quantiles) {
    long double cumulative = 0;
    std::size_t i = 0;
    while (cumulative + d.prob[i] < q.level) cumulative += d.prob[i++];
    ASSERT_TRUE(q.ai) << q.suffix;
    EXPECT_NEAR(*q.ai, static_cast<double>(ratio(d.splits[i], d)), 1e-15) << q.suffix;
  }
}

TEST(QuantileEnds, ALevelReachedOnlyWithoutMajorityHiresHasNoValue) {
  const Split splits[] = {{0, 3, 0.25}, {1, 2, 0.5}, {3, 0, 0.25}};
  RatesRequest r{5, 4, 3, splits, {}};
  r.quantile_levels = {0.25, 0.75, 0.76, 1.0};
  const Rates rates = rates_of(r);
  EXPECT_EQ(rates.quantiles[0].ai, 0.0);
  EXPECT_EQ(rates.quantiles[1].ai, 0.625);
  EXPECT_FALSE(rates.quantiles[2].ai);
  EXPECT_FALSE(rates.quantiles[3].ai);
}

TEST(QuantileEnds, ProbabilitiesAHairUnderOneStillReachTheTopLevelAtTheTopSplit) {
  const Split splits[] = {{0, 2, 0.5}, {1, 1, std::nextafter(0.5, 0.0)}, {2, 0, 0.0}};
  RatesRequest r{3, 3, 2, splits, {}};
  r.quantile_levels = {1.0};
  EXPECT_EQ(rates_of(r).quantiles[0].ai, 1.0);
}

// --- Fisher's exact test ----------------------------------------------------------------------

TEST(FisherExact, TeaTastingTable) {
  // 4 cups of each kind, 4 chosen: probabilities 1, 16, 36, 16, 1 in 70
  const std::vector<double> p = fisher_p_values(4, 4, 4);
  ASSERT_EQ(p.size(), 5u);
  EXPECT_NEAR(p[3], 34.0 / 70.0, 1e-15);
  EXPECT_NEAR(p[4], 2.0 / 70.0, 1e-15);
  EXPECT_NEAR(p[1], 34.0 / 70.0, 1e-15);
  EXPECT_NEAR(p[2], 1.0, 1e-15);
}

TEST(FisherExact, DietingTable) {
  // 1 of 12 men and 9 of 12 women dieting, the textbook p = 0.002759 (exactly 5412 / 1961256)
  const std::vector<double> p = fisher_p_values(12, 12, 10);
  EXPECT_NEAR(p[1], 5412.0 / 1961256.0, 1e-17);
  EXPECT_NEAR(p[1], 0.002759, 0.5e-6);
}

TEST(FisherExact, TablesEquallyLikelyInExactArithmeticAreTies) {
  // 9 hired from 14 majority and 7 minority applicants: C(7, 1) C(14, 8) = C(7, 5) C(14, 4) =
  // 21021, although the two probabilities come out one unit in the last place apart in doubles. The
  // p-values by exact integer sums of C(7, y) C(14, 9 - y) over C(21, 9) = 293930.
  const auto choose = [](std::uint64_t n, std::uint64_t k) {
    std::uint64_t c = 1;
    for (std::uint64_t i = 1; i <= k; ++i) c = c * (n - k + i) / i;
    return c;
  };
  std::vector<std::uint64_t> weight;
  for (std::uint64_t y = 0; y <= 7; ++y) weight.push_back(choose(7, y) * choose(14, 9 - y));
  ASSERT_EQ(weight[1], weight[5]);
  const std::vector<double> p = fisher_p_values(14, 7, 9);
  ASSERT_EQ(p.size(), weight.size());
  for (std::size_t x = 0; x < weight.size(); ++x) {
    std::uint64_t sum = 0;
    for (const std::uint64_t w : weight) sum += w <= weight[x] ? w : 0;
    EXPECT_NEAR(p[x], static_cast<double>(sum) / 293930.0, 1e-15) << x;
  }
}

TEST(FisherExact, FarTailOfLargeGroups) {
  // 900 hired from a million of each group: no minority hire has probability
  // prod (1e6 - i) / (2e6 - i), about 1e-271, and its p-value is twice that by symmetry
  long double first = 1;
  for (int i = 0; i < 900; ++i) first *= (1e6L - i) / (2e6L - i);
  const std::vector<double> d = hypergeometric_probabilities(1000000, 1000000, 900);
  const std::vector<double> p = fisher_p_values(1000000, 1000000, 900);
  EXPECT_NEAR(d[0] / static_cast<double>(first), 1.0, 1e-12);
  EXPECT_NEAR(p[0] / static_cast<double>(2 * first), 1.0, 1e-12);
  EXPECT_NEAR(d[900] / d[0], 1.0, 1e-12);
}

TEST(FisherExact, MillionApplicantsAgreeWithBoostInLongDouble) {
  // Boost's pdf, promoted to long double by its default policy, is good to about 1e-13 here
  const boost::math::hypergeometric_distribution<double> reference(1000000, 1000000, 2000000);
  const std::vector<double> d = hypergeometric_probabilities(1000000, 1000000, 1000000);
  ASSERT_EQ(d.size(), 1000001u);
  // from about 1e-170 to the middle, on both sides
  for (const unsigned y : {490000u, 497000u, 499000u, 499999u, 500000u, 500001u, 507000u}) {
    EXPECT_NEAR(d[y] / boost::math::pdf(reference, y), 1.0, 1e-12) << y;
  }
}

TEST(FisherExact, AgreesWithDirectSummationAcrossAShiftedSupport) {
  // more hires than majority applicants, so the support starts above 0
  const NullDistribution d = null_distribution(17, 40, 25);
  const std::vector<double> p = fisher_p_values(17, 40, 25);
  ASSERT_EQ(p.size(), d.prob.size());
  for (std::size_t x = 0; x < p.size(); ++x) {
    const long double expected = direct_fisher_p(d, x);
    EXPECT_NEAR(p[x] / static_cast<double>(expected), 1.0, 1e-13) << x;
  }
}

TEST(FisherExact, ManySplitsInLittleTime) {
  // 200001 splits; under the null the test rejects at most alpha of the time, and the rejected
  // splits are two nested tails whose probability is the largest p-value that still rejects
  const int n = 200000;
  const std::vector<double> d = hypergeometric_probabilities(n, n, n);
  std::vector<Split> splits;
  for (int y = 0; y <= n; ++y) splits.push_back({y, n - y, d[static_cast<std::size_t>(y)]});
  const Rates rates = rates_of({n, n, n, splits, {"0.8"}});
  const std::vector<double> p = fisher_p_values(n, n, n);
  double largest_rejecting = 0;
  for (const double v : p) {
    if (v <= 0.05) largest_rejecting = std::max(largest_rejecting, v);
  }
  EXPECT_NEAR(rates.p_sig_fisher, largest_rejecting, 1e-13);
  EXPECT_GT(rates.p_sig_fisher, 0.049);
  EXPECT_NEAR(rates.p_sig_z, 0.05, 0.001);
}

// --- population values ------------------------------------------------------------------------

TEST(Population, WithoutAMeanDifferenceBothRatesAreTheHiredShare) {
  const auto v = unscreened_population_values(0.8, 0.18, 0.0).value;
  ASSERT_TRUE(v);
  EXPECT_NEAR(v->sr_majority, 0.18, 1e-16);
  EXPECT_EQ(v->sr_majority, v->sr_minority);
  EXPECT_EQ(v->ai, 1.0);
}

TEST(Population, KnownUnscreenedCase) {
  // d = 1, half the applicants majority, cutoff 1: SR_maj = 1/2, SR_min = 1 - Phi(1), and
  // AI = 2 (1 - Phi(1)) = P(|Z| > 1)
  const double q1 = 0.15865525393145705;  // 1 - Phi(1)
  const auto v = unscreened_population_values(0.5, 0.5 * (0.5 + q1), 1.0).value;
  ASSERT_TRUE(v);
  EXPECT_NEAR(v->cutoff, 1.0, 2e-16);
  EXPECT_NEAR(v->ai, 0.31731050786291415, 5e-16);
}

TEST(Population, TinyHiredShareKeepsItsPrecision) {
  // 1 - Phi(7) = 1.279812543885835e-12: subtracting from 1 would leave four digits
  const auto v = unscreened_population_values(0.3, 1.279812543885835e-12, 0.0).value;
  ASSERT_TRUE(v);
  EXPECT_NEAR(v->cutoff, 7.0, 4e-15);
  EXPECT_NEAR(v->sr_minority / 1.279812543885835e-12, 1.0, 1e-14);
}

TEST(Population, GivenSurvivalFunctionsSolveTheEquation) {
  // S_maj = e^-x, S_min = e^-2x (x >= 0), half majority: e^-x = u with u^2 + u = 2s
  const Survival majority = [](double x) { return x < 0 ? 1.0 : std::exp(-x); };
  const Survival minority = [](double x) { return x < 0 ? 1.0 : std::exp(-2 * x); };
  const double s = 0.1;
  const long double u = (std::sqrt(1 + 8.0L * s) - 1) / 2;
  const auto v = population_values(0.5, s, majority, minority).value;
  ASSERT_TRUE(v);
  EXPECT_NEAR(v->cutoff, static_cast<double>(-std::log(u)), 4e-16);
  EXPECT_NEAR(v->ai, static_cast<double>(u), 4e-16);
  EXPECT_NEAR(0.5 * v->sr_majority + 0.5 * v->sr_minority, s, 3e-17);
}

TEST(Population, ImpossibleInputsAreRefused) {
  const Survival never = [](double) { return 1.0; };
  EXPECT_FALSE(population_values(0.5, 0.1, never, never).value);
  EXPECT_FALSE(unscreened_population_values(1.0, 0.1, 0.0).value);
  EXPECT_FALSE(unscreened_population_values(0.5, 0.0, 0.0).value);
}

// --- requests that cannot be answered ---------------------------------------------------------

TEST(Request, MalformedRequestsAreRefusedWithAReason) {
  const Split good[] = {{0, 2, 0.5}, {1, 1, 0.5}};
  const Split infeasible[] = {{0, 3, 1.0}};
  const Split unordered[] = {{1, 1, 0.5}, {0, 2, 0.5}};
  const Split endless[] = {{0, 2, HUGE_VAL}};
  RatesRequest bad_alpha{3, 3, 2, good, {}};
  bad_alpha.alpha = 1.0;
  RatesRequest twice{3, 3, 2, good, {}};
  twice.quantile_levels = {0.5, 0.5};
  const RatesRequest requests[] = {{3, 3, 2, {}, {}},
                                   {3, 3, 2, infeasible, {}},
                                   {3, 3, 2, unordered, {}},
                                   {3, 3, 2, endless, {}},
                                   {0, 3, 2, good, {}},
                                   {3, 3, 7, good, {}},
                                   {3, 3, 2, good, {"4/5"}},
                                   bad_alpha,
                                   twice};
  for (const RatesRequest& r : requests) {
    const Outcome<Rates> out = compute_rates(r);
    EXPECT_FALSE(out.value);
    EXPECT_FALSE(out.error.empty());
  }
}

}  // namespace
}  // namespace tarven
