#include "tarven/rates.h"

#include <gtest/gtest.h>

#include <boost/math/distributions/hypergeometric.hpp>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace tarven {
namespace {

// The split distribution when hiring ignores group (d = 0), from log-gamma in long double.
struct NullDistribution {
  int n_majority, n_minority, n_hired;
  std::vector<long double> prob;
  std::vector<Split> splits;
};

NullDistribution null_distribution(int n_majority, int n_minority, int n_hired) {
  const auto log_choose = [](int n, int k) {
    return std::lgamma(n + 1.0L) - std::lgamma(k + 1.0L) - std::lgamma(n - k + 1.0L);
  };
  NullDistribution d{n_majority, n_minority, n_hired, {}, {}};
  for (int y = std::max(n_hired - n_majority, 0); y <= std::min(n_hired, n_minority); ++y) {
    d.prob.push_back(std::exp(log_choose(n_minority, y) + log_choose(n_majority, n_hired - y) -
                              log_choose(n_majority + n_minority, n_hired)));
    d.splits.push_back({y, n_hired - y, static_cast<double>(d.prob.back())});
  }
  return d;
}

// Fisher's two-sided p by summing the whole null distribution.
long double direct_fisher_p(const NullDistribution& d, std::size_t x) {
  long double p = 0;
  for (const long double q : d.prob) p += q <= d.prob[x] * (1 + 1e-7L) ? q : 0;
  return p;
}

long double ratio(const Split& s, const NullDistribution& d) {
  return (s.n_minority_hired * static_cast<long double>(d.n_majority)) /
         (s.n_majority_hired * static_cast<long double>(d.n_minority));
}

Rates rates_of(const RatesRequest& request) {
  Outcome<Rates> out = compute_rates(request);
  EXPECT_TRUE(out.error.empty()) << out.error;
  return out.value.value_or(Rates{});
}

RatesRequest request_for(const NullDistribution& d, std::vector<std::string> thresholds) {
  return {d.n_majority, d.n_minority, d.n_hired, d.splits, std::move(thresholds)};
}

// --- column names and threshold text ------------------------------------------------------------

TEST(Thresholds, OnlyPositiveDecimalsAreReadAndTheErrorSaysWhatIsAllowed) {
  for (const char* text : {"0.8", "1", "0.75", "00.80", "0.000000000000000001"}) {
    EXPECT_TRUE(parse_threshold(text).value) << text;
  }
  for (const char* text : {"", ".8", "8.", "-0.8", "+0.8", "0", "0.000", "8e-1", " 0.8", "0,8",
                           "0.8.1", "1234567890.123456789"}) {
    const Outcome<Threshold> t = parse_threshold(text);
    EXPECT_FALSE(t.value) << text;
    EXPECT_NE(t.error.find("such as 0.8, 1 or 0.75"), std::string::npos) << t.error;
  }
}

TEST(Thresholds, SuffixShowsTwoDecimalsOrAllThatMatter) {
  const std::pair<const char*, const char*> cases[] = {
      {"0.8", "0_80"}, {"1", "1_00"}, {"0.825", "0_825"}, {"0.8250", "0_825"}, {"007.5", "7_50"}};
  for (const auto& [text, suffix] : cases) {
    EXPECT_EQ(threshold_suffix(*parse_threshold(text).value), suffix) << text;
  }
  const Outcome<Rates> out =
      compute_rates(request_for(null_distribution(8, 4, 4), {"0.8", "0.80"}));
  EXPECT_NE(out.error.find("\"0.8\" and \"0.80\" are the same value"), std::string::npos);
}

TEST(Quantiles, SuffixIsTheLevelInPercent) {
  const std::pair<double, const char*> cases[] = {{0.05, "q5"}, {0.025, "q2_5"}, {0.5, "q50"},
                                                  {0.07, "q7"}, {1.0, "q100"},   {0.0001, "q0_01"}};
  for (const auto& [level, suffix] : cases) EXPECT_EQ(quantile_suffix(level), suffix) << level;
}

// --- the rule decided in integers ---------------------------------------------------------------

TEST(ExactRule, RatioOfExactlyFourFifthsIsNotBelowFourFifthsOnEitherSide) {
  // 10 of 60 minority and 50 of 240 majority hired: AI is 0.8, although doubles say less
  ASSERT_LT((10.0 / 60.0) / (50.0 / 240.0), 0.8);
  const Split minority_low[] = {{10, 50, 1.0}};
  const Rates a = rates_of({240, 60, 60, minority_low, {"0.8", "0.80000000001"}});
  EXPECT_EQ(a.thresholds[0].p_ai_lt + a.thresholds[0].p_flag_two_sided, 0.0);
  EXPECT_EQ(a.thresholds[1].p_ai_lt + a.thresholds[1].p_flag_two_sided, 2.0);
  // the groups swapped: now the majority rate is 0.8 of the minority's
  const Split majority_low[] = {{50, 10, 1.0}};
  const Rates b = rates_of({60, 240, 60, majority_low, {"0.8", "0.80000000001"}});
  EXPECT_EQ(b.thresholds[0].p_flag_two_sided, 0.0);
  EXPECT_EQ(b.thresholds[1].p_flag_two_sided, 1.0);
  EXPECT_EQ(b.thresholds[1].p_ai_lt, 0.0);
}

TEST(ExactRule, ANullRateBesideAPositiveOneIsFlagged) {
  // 3 hires from 5 majority and 4 minority applicants; (1, 2) has AI 0.625
  const Split splits[] = {{0, 3, 0.25}, {1, 2, 0.5}, {3, 0, 0.25}};
  const Rates rates = rates_of({5, 4, 3, splits, {"0.5"}});
  EXPECT_EQ(rates.thresholds[0].p_ai_lt, 0.25);  // an undefined AI is not below
  EXPECT_EQ(rates.thresholds[0].p_flag_two_sided, 0.5);
  EXPECT_EQ(rates.p_ai_undefined, 0.25);
}

TEST(ExactRule, HundredApplicantsEighteenHiredIsBelowFourFifthsAQuarterOfTheTime) {
  // N2 = 3 of 20 against 15 of 80 is AI 0.8 exactly; counted, it would make 0.49
  const Rates rates = rates_of(request_for(null_distribution(80, 20, 18), {"0.8"}));
  EXPECT_NEAR(rates.thresholds[0].p_ai_lt, 0.2448, 0.5e-4);
}

// --- every rate against the hypergeometric distribution at d = 0 --------------------------------

class NullRates : public testing::Test {
 protected:
  // AI can be undefined (10 hires, 12 minority applicants); no split sits on 0.8 or 1.25.
  NullDistribution d = null_distribution(30, 12, 10);
  Rates rates = rates_of(request_for(d, {"0.8", "1.25"}));
};

TEST_F(NullRates, MeansAndMomentsOfTheRatio) {
  // hiring ignores group, so either group's expected rate is the overall 10 / 42
  EXPECT_NEAR(rates.sr_majority_mean, 10.0 / 42.0, 1e-15);
  EXPECT_NEAR(rates.sr_minority_mean, 10.0 / 42.0, 1e-15);
  EXPECT_NEAR(rates.n_minority_hired_mean, 120.0 / 42.0, 1e-14);
  long double mass = 0, first = 0, second = 0;
  for (std::size_t i = 0; i + 1 < d.splits.size(); ++i) {  // the last split has no majority hire
    mass += d.prob[i];
    first += d.prob[i] * ratio(d.splits[i], d);
    second += d.prob[i] * ratio(d.splits[i], d) * ratio(d.splits[i], d);
  }
  EXPECT_NEAR(*rates.ai_mean, static_cast<double>(first / mass), 1e-14);
  EXPECT_NEAR(*rates.ai_sd,
              static_cast<double>(std::sqrt(second / mass - std::pow(first / mass, 2))), 1e-13);
  EXPECT_NEAR(rates.p_ai_undefined, static_cast<double>(d.prob.back()), 1e-18);
}

TEST_F(NullRates, TestAndRuleProbabilitiesBySummingSplits) {
  const long double z_critical = 1.959963984540054L;  // standard normal 0.975 quantile
  const long double scale = std::sqrt((10.0L / 42) * (32.0L / 42) * (1.0L / 12 + 1.0L / 30));
  const long double thresholds[2] = {0.8L, 1.25L};
  long double fisher = 0, z = 0, lt[2] = {}, lt_fisher[2] = {}, lt_z[2] = {}, above = 0;
  for (std::size_t i = 0; i < d.splits.size(); ++i) {
    const Split& s = d.splits[i];
    const bool defined = s.n_majority_hired > 0;
    const bool sig_fisher = direct_fisher_p(d, i) <= 0.05L;
    const bool sig_z =
        std::fabs(s.n_minority_hired / 12.0L - s.n_majority_hired / 30.0L) >= z_critical * scale;
    fisher += sig_fisher ? d.prob[i] : 0;
    z += sig_z ? d.prob[i] : 0;
    above += !defined || ratio(s, d) > 1.25L ? d.prob[i] : 0;
    for (int t = 0; t < 2; ++t) {
      if (!defined) continue;
      ASSERT_GT(std::fabs(ratio(s, d) - thresholds[t]), 1e-6L);  // no tie to decide here
      if (!(ratio(s, d) < thresholds[t])) continue;
      lt[t] += d.prob[i];
      lt_fisher[t] += sig_fisher ? d.prob[i] : 0;
      lt_z[t] += sig_z ? d.prob[i] : 0;
    }
  }
  ASSERT_GT(lt_fisher[0], 0.0L);  // significant splits below 0.8, or the check would be idle
  EXPECT_NEAR(rates.p_sig_fisher, static_cast<double>(fisher), 1e-15);
  EXPECT_NEAR(rates.p_sig_z, static_cast<double>(z), 1e-15);
  for (int t = 0; t < 2; ++t) {
    EXPECT_NEAR(rates.thresholds[t].p_ai_lt, static_cast<double>(lt[t]), 1e-15);
    EXPECT_NEAR(rates.thresholds[t].p_flag_and_sig_fisher, static_cast<double>(lt_fisher[t]),
                1e-15);
    EXPECT_NEAR(rates.thresholds[t].p_flag_and_sig_z, static_cast<double>(lt_z[t]), 1e-15);
  }
  // 0.8 and 1.25 mirror each other: flagged two-sided is below 0.8 or above 1.25
  EXPECT_NEAR(rates.thresholds[0].p_flag_two_sided, static_cast<double>(lt[0] + above), 1e-15);
}

TEST_F(NullRates, QuantilesAreTheFirstSplitReachingTheLevel) {
  ASSERT_EQ(rates.quantiles.size(), kDefaultQuantileLevels.size());
  for (const AiQuantile& q : rates.quantiles) {
    long double cumulative = 0;
    std::size_t i = 0;
    while (cumulative + d.prob[i] < q.level) cumulative += d.prob[i++];
    EXPECT_NEAR(q.ai.value_or(-1), static_cast<double>(ratio(d.splits[i], d)), 1e-15) << q.suffix;
  }
}

TEST(QuantileEnds, UndefinedOnlyWhereTheLevelNeedsTheSplitWithoutMajorityHires) {
  const Split splits[] = {{0, 3, 0.25}, {1, 2, 0.5}, {3, 0, 0.25}};
  RatesRequest r{5, 4, 3, splits, {}};
  r.quantile_levels = {0.25, 0.75, 0.76, 1.0};
  const Rates rates = rates_of(r);
  EXPECT_EQ(rates.quantiles[0].ai, 0.0);
  EXPECT_EQ(rates.quantiles[1].ai, 0.625);
  EXPECT_FALSE(rates.quantiles[2].ai || rates.quantiles[3].ai);
  // probabilities a hair under one in total still reach the top level at the top split
  const Split short_of_one[] = {{0, 2, 0.5}, {1, 1, std::nextafter(0.5, 0.0)}, {2, 0, 0.0}};
  r = {3, 3, 2, short_of_one, {}};
  r.quantile_levels = {1.0};
  EXPECT_EQ(rates_of(r).quantiles[0].ai, 1.0);
}

// --- Fisher's exact test ------------------------------------------------------------------------

TEST(FisherExact, DietingTable) {
  // 1 of 12 men and 9 of 12 women dieting: the textbook p = 0.002759, exactly 5412 / 1961256
  EXPECT_NEAR(fisher_p_values(12, 12, 10)[1], 5412.0 / 1961256.0, 1e-17);
}

TEST(FisherExact, TablesEquallyLikelyInExactArithmeticAreTies) {
  // 9 hired from 14 majority and 7 minority applicants: C(7,1) C(14,8) = C(7,5) C(14,4), while
  // the doubles differ in the last place. p-values by integer sums over C(21, 9) = 293930.
  const auto choose = [](std::uint64_t n, std::uint64_t k) {
    std::uint64_t c = 1;
    for (std::uint64_t i = 1; i <= k; ++i) c = c * (n - k + i) / i;
    return c;
  };
  std::vector<std::uint64_t> weight;
  for (std::uint64_t y = 0; y <= 7; ++y) weight.push_back(choose(7, y) * choose(14, 9 - y));
  ASSERT_EQ(weight[1], weight[5]);
  const std::vector<double> p = fisher_p_values(14, 7, 9);
  for (std::size_t x = 0; x < weight.size(); ++x) {
    std::uint64_t sum = 0;
    for (const std::uint64_t w : weight) sum += w <= weight[x] ? w : 0;
    EXPECT_NEAR(p[x], static_cast<double>(sum) / 293930.0, 1e-15) << x;
  }
}

TEST(FisherExact, AgreesWithDirectSummationAcrossAShiftedSupport) {
  const NullDistribution d = null_distribution(17, 40, 25);  // N2 runs from 8
  const std::vector<double> p = fisher_p_values(17, 40, 25);
  ASSERT_EQ(p.size(), d.prob.size());
  for (std::size_t x = 0; x < p.size(); ++x) {
    EXPECT_NEAR(p[x] / static_cast<double>(direct_fisher_p(d, x)), 1.0, 1e-13) << x;
  }
}

TEST(FisherExact, FarTailOfAMillionInEachGroup) {
  // 900 hired: no minority hire has probability prod (1e6 - i) / (2e6 - i), about 1e-271, and
  // a p-value of twice that by symmetry
  long double none = 1;
  for (int i = 0; i < 900; ++i) none *= (1e6L - i) / (2e6L - i);
  EXPECT_NEAR(hypergeometric_probabilities(1000000, 1000000, 900)[0] / none, 1.0, 1e-12);
  EXPECT_NEAR(fisher_p_values(1000000, 1000000, 900)[0] / (2 * none), 1.0, 1e-12);
  // half of them hired, from about 1e-170 to the middle; Boost in long double is good to 1e-13
  const boost::math::hypergeometric_distribution<double> reference(1000000, 1000000, 2000000);
  const std::vector<double> d = hypergeometric_probabilities(1000000, 1000000, 1000000);
  for (const unsigned y : {490000u, 499000u, 500000u, 500001u, 507000u}) {
    EXPECT_NEAR(d[y] / boost::math::pdf(reference, y), 1.0, 1e-12) << y;
  }
}

TEST(FisherExact, RejectionUnderTheNullIsTheLargestRejectingPValue) {
  // 200001 splits; the rejected ones form nested tails, so P(p <= alpha) is the largest p-value
  // that still rejects, and at most alpha
  const int n = 200000;
  const std::vector<double> d = hypergeometric_probabilities(n, n, n);
  std::vector<Split> splits;
  for (int y = 0; y <= n; ++y) splits.push_back({y, n - y, d[static_cast<std::size_t>(y)]});
  const Rates rates = rates_of({n, n, n, splits, {}});
  double largest_rejecting = 0;
  for (const double p : fisher_p_values(n, n, n)) {
    if (p <= 0.05) largest_rejecting = std::max(largest_rejecting, p);
  }
  EXPECT_NEAR(rates.p_sig_fisher, largest_rejecting, 1e-13);
  EXPECT_GT(rates.p_sig_fisher, 0.049);
  EXPECT_NEAR(rates.p_sig_z, 0.05, 0.001);
}

// --- population values --------------------------------------------------------------------------

TEST(Population, KnownUnscreenedCases) {
  // d = 0: both rates are the hired share
  const auto same = unscreened_population_values(0.8, 0.18, 0.0).value;
  EXPECT_NEAR(same->sr_majority, 0.18, 1e-16);
  EXPECT_EQ(same->ai, 1.0);
  // d = 1, cutoff 1: SR_maj = 1/2, SR_min = 1 - Phi(1), AI = P(|Z| > 1)
  const auto one = unscreened_population_values(0.5, 0.5 * (0.5 + 0.15865525393145705), 1.0).value;
  EXPECT_NEAR(one->cutoff, 1.0, 2e-16);
  EXPECT_NEAR(one->ai, 0.31731050786291415, 5e-16);
  // 1 - Phi(7) = 1.279812543885835e-12: from 1 - Phi(x) in doubles four digits would be left
  const auto tiny = unscreened_population_values(0.3, 1.279812543885835e-12, 0.0).value;
  EXPECT_NEAR(tiny->cutoff, 7.0, 4e-15);
  EXPECT_NEAR(tiny->sr_minority / 1.279812543885835e-12, 1.0, 1e-14);
}

TEST(Population, GivenSurvivalFunctionsSolveTheEquationToTheLastPlace) {
  // S_maj = e^-x, S_min = e^-2x (x >= 0), half majority: u = e^-x solves u^2 + u = 2s
  const Survival majority = [](double x) { return x < 0 ? 1.0 : std::exp(-x); };
  const Survival minority = [](double x) { return x < 0 ? 1.0 : std::exp(-2 * x); };
  const long double u = (std::sqrt(1.8L) - 1) / 2;
  const auto v = population_values(0.5, 0.1, majority, minority).value;
  EXPECT_NEAR(v->cutoff, static_cast<double>(-std::log(u)), 4e-16);
  EXPECT_NEAR(v->ai, static_cast<double>(u), 4e-16);
  EXPECT_FALSE(population_values(0.5, 0.1, majority, [](double) { return 1.0; }).value);
  EXPECT_FALSE(unscreened_population_values(1.0, 0.1, 0.0).value);
}

// --- requests that cannot be answered -----------------------------------------------------------

TEST(Request, MalformedRequestsAreRefusedWithAReason) {
  const Split good[] = {{0, 2, 0.5}, {1, 1, 0.5}};
  const Split infeasible[] = {{0, 3, 1.0}};
  const Split unordered[] = {{1, 1, 0.5}, {0, 2, 0.5}};
  RatesRequest levels_twice{3, 3, 2, good, {}};
  levels_twice.quantile_levels = {0.5, 0.5};
  const RatesRequest requests[] = {{3, 3, 2, {}, {}},        {3, 3, 2, infeasible, {}},
                                   {3, 3, 2, unordered, {}}, {0, 3, 2, good, {}},
                                   {3, 3, 7, good, {}},      levels_twice};
  for (const RatesRequest& r : requests) EXPECT_FALSE(compute_rates(r).error.empty());
}

}  // namespace
}  // namespace tarven
