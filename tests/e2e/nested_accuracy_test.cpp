// The dialogue's nested integrations against the single-integral engine, which is exact to 1e-12,
// where they used to go wrong without a word: groups of thousands, whose order statistics are too
// narrow for the outer rule. Every console pair value within 1e-8, every printed row and percentile
// to its printed digits.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "plot/subprocess.h"
#include "tests/e2e/program_runner.h"

namespace tarven::e2e {
namespace {

struct Rung {
  int ntot, nmaj, nsel;
  double es, rho, retention;
};

std::string fixed(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
}

void check_against_exact(const Rung& r) {
  SCOPED_TRACE(::testing::Message() << r.ntot << " " << r.nmaj << " " << r.nsel << " " << r.es
                                    << " " << r.rho << " " << r.retention);
  std::ostringstream answers;
  answers << "r.txt\n"
          << r.ntot << "\n"
          << r.nmaj << "\n"
          << r.nsel << "\n"
          << r.es << "\n"
          << r.rho << " " << r.retention << "\ny\n";
  const ProgramRun dialogue = run_program(answers.str());
  ASSERT_EQ(dialogue.exit_code, 0) << dialogue.err;

  const plot::SubprocessResult exact = plot::run_subprocess(
      {TARVEN_EXE, "run", "--n-total", std::to_string(r.ntot), "--n-majority",
       std::to_string(r.nmaj), "--n-hired", std::to_string(r.nsel), "--d", std::to_string(r.es),
       "--rho", std::to_string(r.rho), "--retention", std::to_string(r.retention), "--format",
       "json", "--quantiles", "0.05,0.1,0.25,0.5,0.75,0.9,0.95"},
      std::chrono::seconds(120));
  ASSERT_EQ(exact.exit_code, 0) << exact.err;
  const auto json = nlohmann::json::parse(exact.out);
  const auto& rows = json["distribution"];
  const int jlow = std::max(0, r.nsel - r.nmaj);

  // Console pair lines: counter, i, j, the stored value and the integral in ten digits.
  int pairs = 0;
  for (const std::string& line : lines_of(dialogue.out)) {
    if (line.size() != 60 || line.compare(0, 10, std::string(10, ' ')) != 0) continue;
    std::istringstream in(line);
    int k = 0, i = 0, j = 0;
    double stored = 0.0;
    std::string raw;
    in >> k >> i >> j >> stored >> raw;
    std::replace(raw.begin(), raw.end(), 'E', 'e');
    const double value = std::stod(raw);
    const double cumulative = rows.at(static_cast<std::size_t>(k - 1))["cum_prob"].get<double>();
    if (stored == 1.0 && value > 1.0) continue;  // capped: 1 by the enumeration's rule
    EXPECT_NEAR(value, cumulative, 1e-8) << line;
    ++pairs;
  }
  EXPECT_GT(pairs, 10);

  // The report's rows (those it prints) and percentiles, to their printed digits.
  const std::string report = dialogue.file("r.txt");
  EXPECT_EQ(report.find("CHECK: pair"), std::string::npos);
  for (const auto& row : rows) {
    const double prob = row["prob"].get<double>();
    if (prob < 0.0001) continue;  // away from the print threshold and its rounding
    const int n2 = row["n_minority_hired"].get<int>();
    const std::string printed = fixed(prob, 4);
    const std::size_t at =
        report.find(std::string(7 - std::to_string(n2).size(), ' ') + std::to_string(n2) +
                    std::string(7 - std::to_string(r.nsel - n2).size(), ' ') +
                    std::to_string(r.nsel - n2) + "\n");
    ASSERT_NE(at, std::string::npos) << "N2 " << n2;
    EXPECT_EQ(report.substr(at - 16, 8), std::string(8 - printed.size(), ' ') + printed)
        << "N2 " << n2 << " (first row N2 " << jlow << ")";
  }
  const std::size_t heads = report.find("    P05    P10    P25    P50    P75    P90    P95\n");
  ASSERT_NE(heads, std::string::npos);
  std::istringstream percentiles(report.substr(heads + 50));
  for (const char* name : {"ai_q5", "ai_q10", "ai_q25", "ai_q50", "ai_q75", "ai_q90", "ai_q95"}) {
    double shown = 0.0;
    percentiles >> shown;
    EXPECT_EQ(fixed(shown, 3), fixed(json["summary"][name].get<double>(), 3)) << name;
  }
}

// A ladder of groups of thousands, 80 % majority, 10 % hired (and fewer), with strong
// pre-screening on some rungs: the retained groups are narrow and far from the centre.
TEST(NestedAccuracy, GroupsOfThousandsAgreeWithTheExactEngine) {
  check_against_exact({3000, 2400, 300, 0.8, 0.4, 0.5});
  check_against_exact({3000, 2400, 150, 0.3, 0.9, 0.05});
  check_against_exact({5000, 4000, 500, 0.3, 0.9, 0.05});
  check_against_exact({15000, 12000, 1500, 0.8, 0.9, 0.05});
  check_against_exact({30000, 24000, 3000, 0.8, 0.4, 0.5});
}

}  // namespace
}  // namespace tarven::e2e
