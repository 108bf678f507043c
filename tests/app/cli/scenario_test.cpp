// A scenario through the whole chain (checks, engine, rates) against sums computed here from the
// hypergeometric distribution, which M follows exactly when the groups do not differ (d = 0).

#include "cli/scenario.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "cli/summary_table.h"

namespace tarven::cli {
namespace {

ScenarioInput input(const std::string& ntot, const std::string& nmaj, const std::string& nsel,
                    const std::string& d, const std::string& rho, const std::string& retention) {
  ScenarioInput s;
  s.id = std::string(1, '1');
  s.field("n_total") = ntot;
  s.field("n_majority") = nmaj;
  s.field("n_hired") = nsel;
  s.field("d") = d;
  s.field("rho") = rho;
  s.field("retention") = retention;
  return s;
}

// P(M = m) when nsel of nmaj + nmin applicants are hired at random, in long double.
std::vector<long double> hypergeometric(int nmaj, int nmin, int nsel, int& low) {
  low = std::max(0, nsel - nmaj);
  const int high = std::min(nsel, nmin);
  auto log_choose = [](int n, int k) {
    return std::lgamma(n + 1.0L) - std::lgamma(k + 1.0L) - std::lgamma(n - k + 1.0L);
  };
  std::vector<long double> p;
  for (int m = low; m <= high; ++m)
    p.push_back(
        std::exp(log_choose(nmin, m) + log_choose(nmaj, nsel - m) - log_choose(nmaj + nmin, nsel)));
  return p;
}

struct Case {
  int ntot, nmaj, nsel;
  double rho, retention;
};

TEST(ScenarioRates, WithoutGroupDifferenceEveryRateIsAHypergeometricSum) {
  // The second case has a split with AI exactly 0.8 (10 of 60 against 50 of 240), which is not
  // below 0.8; the third is the four-fifths example whose answer is 0.2448, not 0.49.
  for (const Case c : {Case{40, 30, 12, 0.5, 0.3}, Case{300, 240, 60, -0.4, 0.7},
                       Case{100, 80, 18, 0.5, 0.5}, Case{12, 4, 6, 0.9, 0.1}}) {
    SCOPED_TRACE(::testing::Message() << c.ntot << " " << c.nmaj << " " << c.nsel);
    const int nmin = c.ntot - c.nmaj;
    const ScenarioOutcome out = evaluate_scenario(
        input(std::to_string(c.ntot), std::to_string(c.nmaj), std::to_string(c.nsel), "0",
              std::to_string(c.rho), std::to_string(c.retention)),
        CommandQuestions{}, nullptr);
    ASSERT_EQ(out.analysis.status, AnalysisStatus::kOk) << out.error();
    int low = 0;
    const std::vector<long double> p = hypergeometric(c.nmaj, nmin, c.nsel, low);

    long double below = 0, mean_hired = 0, defined = 0, ai_sum = 0;
    for (std::size_t k = 0; k < p.size(); ++k) {
      const int n2 = low + static_cast<int>(k);
      const int n1 = c.nsel - n2;
      mean_hired += p[k] * n2;
      if (n1 == 0) continue;
      defined += p[k];
      ai_sum +=
          p[k] * (static_cast<long double>(n2) * c.nmaj) / (static_cast<long double>(n1) * nmin);
      // AI < 0.8 exactly when 5 * n2 * nmaj < 4 * n1 * nmin.
      if (5LL * n2 * c.nmaj < 4LL * n1 * nmin) below += p[k];
    }
    // The nested evaluation is exact to about 1e-9 on these problems.
    constexpr double kTolerance = 2e-7;
    const Rates& r = out.analysis.rates;
    EXPECT_NEAR(r.n_minority_hired_mean, static_cast<double>(mean_hired), kTolerance * c.nsel);
    EXPECT_NEAR(r.sr_minority_mean, static_cast<double>(c.nsel) / c.ntot, kTolerance);
    EXPECT_NEAR(*r.ai_mean, static_cast<double>(ai_sum / defined), kTolerance * 10);
    ASSERT_EQ(r.thresholds.size(), 1u);
    EXPECT_NEAR(r.thresholds[0].p_ai_lt, static_cast<double>(below), kTolerance);

    // Median: the first split whose cumulative probability reaches one half.
    long double running = 0;
    std::size_t k = 0;
    while (k + 1 < p.size() && (running += p[k]) < 0.5L) ++k;
    const int n2 = low + static_cast<int>(k);
    const int n1 = c.nsel - n2;
    ASSERT_EQ(r.quantiles[3].level, 0.5);
    if (n1 > 0) {
      EXPECT_DOUBLE_EQ(*r.quantiles[3].ai,
                       (static_cast<double>(n2) / nmin) / (static_cast<double>(n1) / c.nmaj));
    }
  }
}

TEST(ScenarioRates, TheFourFifthsExampleToFourDecimals) {
  const ScenarioOutcome out =
      evaluate_scenario(input("100", "80", "18", "0", "0.5", "0.5"), CommandQuestions{}, nullptr);
  ASSERT_EQ(out.analysis.status, AnalysisStatus::kOk);
  EXPECT_NEAR(out.analysis.rates.thresholds[0].p_ai_lt, 0.2448, 5e-5);
}

TEST(ScenarioRates, TheWrittenImpactRatioComparesAsTheThresholdRuleDoes) {
  // A script filtering the distribution file on ai < 0.8 must find p_ai_lt_0_80; the split of 10
  // of 60 against 50 of 240 is where a quotient of rounded rates would say otherwise.
  const ScenarioOutcome out =
      evaluate_scenario(input("300", "240", "60", "0", "0.2", "0.4"), CommandQuestions{}, nullptr);
  ASSERT_EQ(out.analysis.status, AnalysisStatus::kOk);
  std::istringstream lines(distribution_lines(ScenarioInput{}, out));
  std::string line;
  int rows = 0;
  double below = 0.0;
  while (std::getline(lines, line)) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, ',');) f.push_back(cell);
    ASSERT_EQ(f.size(), 8u) << line;
    const int n2 = std::stoi(f[1]), n1 = std::stoi(f[2]);
    ++rows;
    if (f[5] == "NA") continue;
    const bool rule = 5LL * n2 * 240 < 4LL * n1 * 60;
    EXPECT_EQ(std::stod(f[5]) < 0.8, rule) << line;
    if (std::stod(f[5]) < 0.8) below += std::stod(f[6]);
  }
  EXPECT_EQ(rows, 61);
  EXPECT_DOUBLE_EQ(below, out.analysis.rates.thresholds[0].p_ai_lt);
}

TEST(ScenarioInputs, EachRefusalNamesItsField) {
  auto error = [](const ScenarioInput& s) {
    const auto checked = problem_of(s);
    const std::string* message = std::get_if<std::string>(&checked);
    return message != nullptr ? *message : std::string();
  };
  EXPECT_EQ(error(input("", "7", "4", "0.5", "0.3", "0.6")), "n_total: missing");
  EXPECT_EQ(error(input("10", "7", "four", "0.5", "0.3", "0.6")),
            "n_hired: \"four\" is not a number");
  EXPECT_EQ(error(input("10", "7.5", "4", "0.5", "0.3", "0.6")),
            "n_majority = 7.5: not a whole number");
  EXPECT_EQ(error(input("10", "7", "4", "0.5", "1.3", "0.6")),
            "rho = 1.3: must lie between -0.999 and 0.999");
  // Whole numbers in any number form are counts.
  EXPECT_EQ(error(input("1e1", "7.0", "4", "0.5", "0.3", "0.6")), "");
  ScenarioInput unreadable = input("10", "7", "4", "0.5", "0.3", "0.6");
  unreadable.fault = "line 3: 4 fields where the header has 8";
  EXPECT_EQ(error(unreadable), "line 3: 4 fields where the header has 8");
}

}  // namespace
}  // namespace tarven::cli
