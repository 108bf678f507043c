// The report's numbers against mathematics that needs no integration. With effect size 0 both
// groups share one pre-screened distribution, whatever the correlation and the retention rate, so
// the number M of minority hires is hypergeometric:
//   P(M = m) = C(nmin, m) C(nmaj, nsel - m) / C(ntot, nsel).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/program_runner.h"

namespace tarven::e2e {
namespace {

struct Row {
  double ai, prob, cprob;
  int n2, n1;
};

struct Report {
  std::vector<Row> rows;
  double sra = 0, sri = 0, ai = 0;
  std::vector<double> percentiles;
};

std::size_t index_of(const std::vector<std::string>& lines, const std::string& line) {
  for (std::size_t k = 0; k < lines.size(); ++k)
    if (lines[k] == line) return k;
  return lines.size();
}

Report parse(const std::string& text) {
  const std::vector<std::string> lines = lines_of(text);
  Report report;
  std::size_t k = index_of(lines, "AIvalue    Prob   CProb     N2     N1");
  EXPECT_LT(k, lines.size()) << text;
  for (++k; k < lines.size() && !lines[k].empty(); ++k) {
    Row row{};
    EXPECT_EQ(lines[k].size(), 37u) << lines[k];
    std::istringstream(lines[k]) >> row.ai >> row.prob >> row.cprob >> row.n2 >> row.n1;
    report.rows.push_back(row);
  }
  k = index_of(lines, "    SRA    SRI     AI");
  EXPECT_LT(k + 1, lines.size()) << text;
  if (k + 1 < lines.size())
    std::istringstream(lines[k + 1]) >> report.sra >> report.sri >> report.ai;
  k = index_of(lines, "    P05    P10    P25    P50    P75    P90    P95");
  EXPECT_LT(k + 1, lines.size()) << text;
  if (k + 1 < lines.size()) {
    EXPECT_EQ(lines[k + 1].size(), 49u);
    std::istringstream in(lines[k + 1]);
    double v;
    while (in >> v) report.percentiles.push_back(v);
  }
  return report;
}

double choose(int n, int k) {
  if (k < 0 || k > n) return 0.0;
  return std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0));
}

struct Problem {
  int ntot, nmaj, nsel;
  double rho, retention;
};

class Hypergeometric : public testing::TestWithParam<Problem> {};

TEST_P(Hypergeometric, ReportAgreesWithTheExactDistribution) {
  const Problem p = GetParam();
  const int nmin = p.ntot - p.nmaj;
  char answers[200];
  std::snprintf(answers, sizeof answers, "out.txt\n%d\n%d\n%d\n0\n%g %g\ny\n", p.ntot, p.nmaj,
                p.nsel, p.rho, p.retention);
  const ProgramRun run = run_program(answers);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const Report report = parse(run.file("out.txt"));

  // The exact distribution, row by row as the report lays it out.
  const int jlow = std::max(p.nsel - p.nmaj, 0);
  const int jhigh = std::min(p.nsel, nmin);
  double cumulative = 0, sra = 0, sri = 0, ai_sum = 0, defined = 0;
  std::vector<Row> exact;
  for (int m = jlow; m <= jhigh; ++m) {
    const double prob = choose(nmin, m) * choose(p.nmaj, p.nsel - m) / choose(p.ntot, p.nsel);
    cumulative += prob;
    const int n1 = p.nsel - m;
    const double sr1 = static_cast<double>(n1) / p.nmaj;
    const double sr2 = static_cast<double>(m) / nmin;
    const double ai = n1 == 0 ? -1.0 : sr2 / sr1;
    exact.push_back({ai, prob, cumulative, m, n1});
    sra += prob * sr1;
    sri += prob * sr2;
    if (n1 != 0) {
      ai_sum += prob * ai;
      defined += prob;
    }
  }

  // Every exact row of noticeable probability is printed, with the same counts and ratio.
  std::size_t printed = 0;
  for (const Row& e : exact) {
    if (e.prob < 2e-5) continue;
    ASSERT_LT(printed, report.rows.size()) << "row with N2 = " << e.n2 << " missing";
    const Row& r = report.rows[printed++];
    EXPECT_EQ(r.n2, e.n2);
    EXPECT_EQ(r.n1, e.n1);
    EXPECT_NEAR(r.ai, e.ai, 0.0005 + 1e-9);
    EXPECT_NEAR(r.prob, e.prob, 1e-4) << "N2 = " << e.n2;
    EXPECT_NEAR(r.cprob, e.cprob, 1e-4) << "N2 = " << e.n2;
  }
  EXPECT_EQ(printed, report.rows.size());

  EXPECT_NEAR(report.sra, sra, 1e-3);
  EXPECT_NEAR(report.sri, sri, 1e-3);
  EXPECT_NEAR(report.ai, ai_sum / defined, 1e-3);

  const int levels[] = {5, 10, 25, 50, 75, 90, 95};
  ASSERT_EQ(report.percentiles.size(), 7u);
  for (int l = 0; l < 7; ++l) {
    const Row* at = &exact.back();
    for (const Row& e : exact) {
      if (100.0 * e.cprob >= levels[l]) {
        at = &e;
        break;
      }
    }
    EXPECT_NEAR(report.percentiles[l], at->ai, 0.0005 + 1e-9) << "P" << levels[l];
  }
}

// Small problems only: each pair costs a double integration.
INSTANTIATE_TEST_SUITE_P(SmallProblems, Hypergeometric,
                         testing::Values(Problem{10, 7, 4, 0.3, 0.6},   // the typical problem
                                         Problem{8, 5, 3, 0.5, 0.5},    // nsel <= nmin: last AI -1
                                         Problem{8, 3, 5, 0.2, 0.7},    // nsel > nmaj: jlow = 2
                                         Problem{7, 4, 6, -0.4, 0.3}),  // nsel > nmaj, rho < 0
                         [](const testing::TestParamInfo<Problem>& info) {
                           const Problem& p = info.param;
                           return "ntot" + std::to_string(p.ntot) + "_nmaj" +
                                  std::to_string(p.nmaj) + "_nsel" + std::to_string(p.nsel);
                         });

}  // namespace
}  // namespace tarven::e2e
