// Writes sample charts, a report page and PNG pictures of the charts, for a look by eye:
//   plot_samples [directory]     (default /tmp/tarven-plot-samples)
// The numbers are the report example of the README and, for the grid, the closed-form
// hypergeometric distribution of random hiring (effect size 0).

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "plot/curve_chart.h"
#include "plot/distribution_chart.h"
#include "plot/html_page.h"
#include "plot/markup.h"
#include "plot/png_conversion.h"

namespace {

using namespace tarven::plot;

double choose(int n, int k) {
  double c = 1;
  for (int i = 1; i <= k; ++i) c = c * (n - k + i) / i;
  return c;
}

// P(AI < threshold) when `hired` of `applicants` are drawn at random, `majority` of them from the
// majority group; an undefined ratio (no majority hire) does not count as below.
double rate_below(int applicants, int majority, int hired, double threshold) {
  const int minority = applicants - majority;
  double p = 0;
  for (int k = std::max(0, hired - majority); k <= std::min(minority, hired); ++k) {
    const int j = hired - k;
    if (j == 0) continue;
    const double ai = (static_cast<double>(k) / minority) / (static_cast<double>(j) / majority);
    if (ai < threshold) p += choose(minority, k) * choose(majority, j) / choose(applicants, hired);
  }
  return p;
}

DistributionChart readme_example() {
  DistributionChart chart;
  chart.title = "10 applicants (7 majority, 3 minority), 4 hired";
  chart.subtitle = "Effect size 0.5, correlation 0.3, retention rate 0.6";
  chart.masses = {{0, 0.3473}, {7.0 / 9, 0.5011}, {7.0 / 3, 0.1440}, {7, 0.0076}};
  double below = 0, mean = 0;
  for (const AiMass& m : chart.masses) {
    if (m.ai < 0.8) below += m.prob;
    mean += m.ai * m.prob;
  }
  chart.thresholds = {{0.8, "P(AI < 0.8) = " + format_fixed(below, 4)}};
  chart.expected = Marker{mean, "E(AI) = " + format_fixed(mean, 4)};
  return chart;
}

DistributionChart random_hiring(int applicants, int majority, int hired) {
  DistributionChart chart;
  const int minority = applicants - majority;
  chart.title = std::to_string(applicants) + " applicants (" + std::to_string(majority) +
                " majority, " + std::to_string(minority) + " minority), " + std::to_string(hired) +
                " hired";
  chart.subtitle = "Random hiring (effect size 0)";
  double below = 0, mean = 0, undefined = 0;
  for (int k = std::max(0, hired - majority); k <= std::min(minority, hired); ++k) {
    const int j = hired - k;
    const double p = choose(minority, k) * choose(majority, j) / choose(applicants, hired);
    if (j == 0) {
      undefined += p;
      continue;
    }
    const double ai = (static_cast<double>(k) / minority) / (static_cast<double>(j) / majority);
    chart.masses.push_back({ai, p});
    if (ai < 0.8) below += p;
    mean += ai * p;
  }
  chart.undefined_prob = undefined;
  chart.thresholds = {{0.8, "P(AI < 0.8) = " + format_fixed(below, 4)}};
  chart.expected = Marker{mean / (1 - undefined),
                          "E(AI | defined) = " + format_fixed(mean / (1 - undefined), 4)};
  return chart;
}

CurveChart rate_grid() {
  CurveChart chart;
  chart.title = "P(AI < 0.8) under random hiring";
  chart.subtitle = "Closed-form hypergeometric rates, effect size 0";
  chart.x_title = "Selection ratio";
  chart.y_title = "P(AI < 0.8)";
  chart.legend_title = "Minority share";
  chart.y_from = 0;
  chart.y_to = 1;
  for (const int applicants : {20, 50, 100}) {
    Facet facet{"N = " + std::to_string(applicants), {}};
    for (const int percent : {10, 20, 30, 50}) {
      Curve curve{std::to_string(percent) + "% minority", {}};
      const int minority = applicants * percent / 100;
      for (int tenth = 1; tenth <= 9; ++tenth) {
        const int hired = applicants * tenth / 10;
        curve.points.push_back(
            {tenth / 10.0, rate_below(applicants, applicants - minority, hired, 0.8)});
      }
      facet.curves.push_back(curve);
    }
    chart.facets.push_back(facet);
  }
  chart.note = "Selection ratios 0.1 to 0.9 in steps of 0.1; rates are exact.";
  return chart;
}

HtmlPage report(const DistributionChart& distribution, const CurveChart& grid) {
  DataTable table{"Distribution of AI", {"AI", "Prob", "CProb"}, {}};
  double cumulative = 0;
  for (const AiMass& m : distribution.masses) {
    cumulative += m.prob;
    table.rows.push_back(
        {format_fixed(m.ai, 3), format_fixed(m.prob, 4), format_fixed(cumulative, 4)});
  }
  HtmlPage page;
  page.title = "TARVEN: adverse impact of a selection decision";
  page.subtitle = distribution.title;
  page.sections.push_back({"Problem",
                           {SummaryTable{{{"Applicants", "10"},
                                          {"Majority applicants", "7"},
                                          {"Hired", "4"},
                                          {"Effect size", "0.5"},
                                          {"Correlation, retention rate", "0.3, 0.6"}}}}});
  page.sections.push_back(
      {"Distribution of the adverse impact ratio",
       {Paragraph{"Each bar is the probability of one split of the hires between the groups."},
        Figure{distribution_chart_svg(distribution), "P(AI = a) for every split of the hires."},
        table}});
  page.sections.push_back(
      {"Rates over a grid", {Figure{curve_chart_svg(grid), "P(AI < 0.8) by selection ratio."}}});
  page.sections.push_back(
      {"Definitions",
       {Definitions{
           {{"AI", "Minority selection rate divided by majority selection rate."},
            {"P(AI < T)", "Probability that the ratio falls below the threshold T."},
            {"Undefined", "No majority applicant is hired, so the ratio has no value."}}}}});
  page.footer = "Sample page written by plot_samples.";
  return page;
}

bool write(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
  if (!out) std::cerr << "cannot write " << file.string() << "\n";
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = argc > 1 ? argv[1] : "/tmp/tarven-plot-samples";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);

  DistributionChart distribution = readme_example();
  DistributionChart cumulative = distribution;
  cumulative.cumulative = true;
  // Sixty applicants: AI reaches 28, but with a probability too small to see beyond 5.
  DistributionChart many = random_hiring(60, 40, 15);
  many.ai_axis_max = 5;
  const std::vector<std::pair<std::string, std::string>> charts = {
      {"distribution", distribution_chart_svg(distribution)},
      {"distribution-cumulative", distribution_chart_svg(cumulative)},
      {"distribution-undefined", distribution_chart_svg(random_hiring(12, 4, 6))},
      {"distribution-many", distribution_chart_svg(many)},
      {"curves", curve_chart_svg(rate_grid())},
  };
  int status = 0;
  PngOptions options;
  options.zoom = 2;
  for (const auto& [name, svg] : charts) {
    if (!write(dir / (name + ".svg"), svg)) status = 1;
    const PngResult png = convert_svg_to_png(svg, dir / (name + ".png"), options);
    if (!png.ok) {
      std::cerr << png.error << "\n";
      status = 1;
    }
  }
  if (!write(dir / "report.html", html_page(report(distribution, rate_grid())))) status = 1;
  std::cout << "samples written to " << dir.string() << "\n";
  return status;
}
