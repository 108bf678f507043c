#include "distribution_figure.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "plot/distribution_chart.h"

namespace tarven::web {
namespace {

std::string fixed(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
}

// The threshold's value from its exact decimal form, as its text reads.
double threshold_value(const std::string& text) {
  const Outcome<Threshold> t = parse_threshold(text);
  if (!t.value) return 0.0;
  double scale = 1.0;
  for (int d = 0; d < t.value->decimals; ++d) scale *= 10.0;
  return static_cast<double>(t.value->numerator) / scale;
}

// As the command line's chart: past 99.99 % of the defined ratio's probability, so that a long,
// thin tail of large ratios does not squeeze the rest.
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

std::string scenario_title(const Problem& p, const NumberTexts& texts) {
  return std::to_string(p.n_total()) + " applicants (" + std::to_string(p.n_majority()) +
         " majority, " + std::to_string(p.n_minority()) + " minority), " +
         std::to_string(p.n_hired()) + " hired; d = " + texts.d + ", rho = " + texts.rho +
         ", retention = " + texts.retention;
}

std::string distribution_figure_svg(const Analysis& analysis, const std::string& title) {
  plot::DistributionChart chart;
  chart.title = title;
  chart.subtitle = "Exact distribution of the adverse impact ratio";
  for (const DistributionRow& row : analysis.result.distribution) {
    if (row.ai)
      chart.masses.push_back(plot::AiMass{*row.ai, row.prob});
    else
      chart.undefined_prob = row.prob;
  }
  for (const ThresholdRates& t : analysis.rates.thresholds)
    chart.thresholds.push_back(
        plot::Marker{threshold_value(t.text), "P(AI < " + t.text + ") = " + fixed(t.p_ai_lt, 4)});
  if (analysis.rates.ai_mean)
    chart.expected =
        plot::Marker{*analysis.rates.ai_mean, "E(AI) = " + fixed(*analysis.rates.ai_mean, 3)};
  chart.ai_axis_max = axis_end(analysis.result);
  return plot::distribution_chart_svg(chart);
}

}  // namespace tarven::web
