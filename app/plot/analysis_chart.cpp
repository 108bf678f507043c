#include "plot/analysis_chart.h"

#include <algorithm>
#include <optional>

#include "plot/markup.h"

namespace tarven::plot {
namespace {

// The threshold's value from its exact decimal form: one correctly rounded division, the double
// its text reads as.
double threshold_value(const std::string& text) {
  const Outcome<Threshold> t = parse_threshold(text);
  if (!t.value) return 0.0;
  double scale = 1.0;
  for (int d = 0; d < t.value->decimals; ++d) scale *= 10.0;
  return static_cast<double>(t.value->numerator) / scale;
}

std::optional<double> axis_end(const Result& r) {
  double defined = 0.0;
  for (const DistributionRow& row : r.distribution)
    if (row.ai) defined += row.prob;
  double running = 0.0;
  for (const DistributionRow& row : r.distribution) {
    if (!row.ai) continue;
    running += row.prob;
    if (running >= 0.9999 * defined) return std::max(*row.ai, 1.0);
  }
  return std::nullopt;
}

}  // namespace

std::string problem_title(const Problem& p, std::string_view d, std::string_view rho,
                          std::string_view retention) {
  return std::to_string(p.n_total()) + " applicants (" + std::to_string(p.n_majority()) +
         " majority, " + std::to_string(p.n_minority()) + " minority), " +
         std::to_string(p.n_hired()) + " hired; d = " + std::string(d) +
         ", rho = " + std::string(rho) + ", retention = " + std::string(retention);
}

DistributionChart analysis_chart(const Analysis& analysis, std::string title, bool cumulative) {
  DistributionChart chart;
  chart.title = std::move(title);
  chart.subtitle = cumulative ? "Exact cumulative distribution of the adverse impact ratio"
                              : "Exact distribution of the adverse impact ratio";
  chart.cumulative = cumulative;
  for (const DistributionRow& row : analysis.result.distribution) {
    if (row.ai)
      chart.masses.push_back(AiMass{*row.ai, row.prob});
    else
      chart.undefined_prob = row.prob;
  }
  for (const ThresholdRates& t : analysis.rates.thresholds)
    chart.thresholds.push_back(
        Marker{threshold_value(t.text), "P(AI < " + t.text + ") = " + format_fixed(t.p_ai_lt, 4)});
  if (analysis.rates.ai_mean)
    chart.expected =
        Marker{*analysis.rates.ai_mean, "E(AI) = " + format_fixed(*analysis.rates.ai_mean, 3)};
  chart.ai_axis_max = axis_end(analysis.result);
  return chart;
}

}  // namespace tarven::plot
