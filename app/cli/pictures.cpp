#include "cli/pictures.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>

#include "cli/output_file.h"
#include "plot/curve_chart.h"
#include "plot/distribution_chart.h"
#include "plot/html_page.h"
#include "plot/png_conversion.h"
#include "tarven/evaluate.h"

namespace tarven::cli {
namespace {

std::string fixed(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
}

std::string fixed(const std::optional<double>& v, int decimals) {
  return v ? fixed(*v, decimals) : std::string("undefined");
}

std::string shortest(double v) {
  return format_number(v);
}

std::optional<double> number_of(const std::string& text) {
  const ParsedNumber number = parse_number(text);
  if (number.fault != NumberFault::kNone) return std::nullopt;
  return number.value;
}

std::string level_text(double level) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g%%", level * 100.0);
  return buffer;
}

// Where the AI axis ends: past 99.99 % of the defined ratio's probability, so that a long, thin
// tail of large ratios does not squeeze the rest (what lies beyond is counted in a note).
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

std::string scenario_title(const ScenarioInput& input, const ScenarioOutcome& outcome) {
  if (!outcome.problem) {
    return "n_total " + input.fields[0] + ", n_majority " + input.fields[1] + ", n_hired " +
           input.fields[2] + "; d = " + input.fields[3] + ", rho = " + input.fields[4] +
           ", retention = " + input.fields[5];
  }
  const Problem& p = *outcome.problem;
  return std::to_string(p.n_total()) + " applicants (" + std::to_string(p.n_majority()) +
         " majority, " + std::to_string(p.n_minority()) + " minority), " +
         std::to_string(p.n_hired()) + " hired; d = " + shortest(p.d()) +
         ", rho = " + shortest(p.rho()) + ", retention = " + shortest(p.retention());
}

std::string distribution_svg(const ScenarioInput& input, const ScenarioOutcome& outcome,
                             const CommandQuestions& /*questions*/, bool cumulative) {
  plot::DistributionChart chart;
  chart.title = scenario_title(input, outcome);
  chart.subtitle = cumulative ? "Exact cumulative distribution of the adverse impact ratio"
                              : "Exact distribution of the adverse impact ratio";
  chart.cumulative = cumulative;
  for (const DistributionRow& row : outcome.analysis.result.distribution) {
    if (row.ai)
      chart.masses.push_back(plot::AiMass{*row.ai, row.prob});
    else
      chart.undefined_prob = row.prob;
  }
  for (const ThresholdRates& t : outcome.analysis.rates.thresholds) {
    const std::optional<double> value = number_of(t.text);
    if (value)
      chart.thresholds.push_back(
          plot::Marker{*value, "P(AI < " + t.text + ") = " + fixed(t.p_ai_lt, 4)});
  }
  if (outcome.analysis.rates.ai_mean)
    chart.expected = plot::Marker{*outcome.analysis.rates.ai_mean,
                                  "E(AI) = " + fixed(*outcome.analysis.rates.ai_mean, 3)};
  chart.ai_axis_max = axis_end(outcome.analysis.result);
  return plot::distribution_chart_svg(chart);
}

std::string write_picture(const std::string& path, const std::string& svg) {
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0) {
    const plot::PngResult png = plot::convert_svg_to_png(svg, path);
    return png.ok ? std::string() : png.error;
  }
  OutputFile file;
  std::string error = file.open(path);
  if (error.empty()) error = file.write(svg);
  if (error.empty()) error = file.commit();
  return error;
}

std::string run_page(const ScenarioInput& input, const ScenarioOutcome& outcome,
                     const CommandQuestions& questions) {
  plot::HtmlPage page;
  page.title = "TARVEN: " + scenario_title(input, outcome);
  page.subtitle = "Exact finite-sample distribution of the adverse impact ratio";
  page.footer = std::string("TARVEN ") + version();

  plot::Section scenario{"Scenario", {}};
  plot::SummaryTable given;
  if (outcome.problem) {
    const Problem& p = *outcome.problem;
    given.rows = {{"Applicants", std::to_string(p.n_total())},
                  {"Majority applicants", std::to_string(p.n_majority())},
                  {"Minority applicants", std::to_string(p.n_minority())},
                  {"Hired", std::to_string(p.n_hired())},
                  {"d (majority mean minus minority mean)", shortest(p.d())},
                  {"rho (predictor and pre-screening)", shortest(p.rho())},
                  {"Retention of the pre-screening", shortest(p.retention())},
                  {"Pre-screening cutoff (z)", fixed(p.cutoff(), 4)}};
  } else {
    for (std::size_t f = 0; f < kInputColumns.size(); ++f)
      given.rows.emplace_back(kInputColumns[f], input.fields[f]);
  }
  given.rows.emplace_back(
      "Status",
      outcome.status() + (outcome.error().empty() ? std::string() : ": " + outcome.error()));
  scenario.blocks.emplace_back(std::move(given));
  page.sections.push_back(std::move(scenario));

  if (outcome.ok()) {
    const Rates& r = outcome.analysis.rates;
    plot::Section summary{"Summary", {}};
    plot::SummaryTable values;
    values.rows = {
        {"Expected selection rate, majority", fixed(r.sr_majority_mean, 4)},
        {"Expected selection rate, minority", fixed(r.sr_minority_mean, 4)},
        {"Expected minority hires", fixed(r.n_minority_hired_mean, 4)},
        {"Mean AI (where defined)", fixed(r.ai_mean, 4)},
        {"Standard deviation of AI (where defined)", fixed(r.ai_sd, 4)},
        {"P(AI undefined)", fixed(r.p_ai_undefined, 6)},
        {"P(Fisher exact test significant), alpha " + shortest(questions.alpha),
         fixed(r.p_sig_fisher, 4)},
        {"P(pooled Z test significant), alpha " + shortest(questions.alpha), fixed(r.p_sig_z, 4)}};
    for (const ThresholdRates& t : r.thresholds) {
      values.rows.emplace_back("P(AI < " + t.text + ")", fixed(t.p_ai_lt, 4));
      values.rows.emplace_back("P(either rate below " + t.text + " times the other)",
                               fixed(t.p_flag_two_sided, 4));
      values.rows.emplace_back("P(AI < " + t.text + " and Fisher significant)",
                               fixed(t.p_flag_and_sig_fisher, 4));
      values.rows.emplace_back("P(AI < " + t.text + " and Z significant)",
                               fixed(t.p_flag_and_sig_z, 4));
    }
    for (const AiQuantile& q : r.quantiles)
      values.rows.emplace_back("AI quantile " + level_text(q.level), fixed(q.ai, 3));
    auto population = [](const std::optional<PopulationValues>& p, double PopulationValues::*f) {
      return p ? fixed((*p).*f, 4) : std::string("NA");
    };
    values.rows.emplace_back("Population AI, pre-screened",
                             population(outcome.analysis.population, &PopulationValues::ai));
    values.rows.emplace_back(
        "Population selection rate, majority",
        population(outcome.analysis.population, &PopulationValues::sr_majority));
    values.rows.emplace_back(
        "Population selection rate, minority",
        population(outcome.analysis.population, &PopulationValues::sr_minority));
    values.rows.emplace_back(
        "Population AI without pre-screening",
        population(outcome.analysis.population_unscreened, &PopulationValues::ai));
    summary.blocks.emplace_back(std::move(values));
    page.sections.push_back(std::move(summary));

    plot::Section chart{"Distribution", {}};
    chart.blocks.emplace_back(plot::Figure{distribution_svg(input, outcome, questions, false),
                                           "P(AI = a) for every split of the hires."});
    page.sections.push_back(std::move(chart));

    plot::Section splits{"Splits", {}};
    plot::DataTable table;
    table.caption = "Every split with probability above 0.000001.";
    table.columns = {"Minority hired", "Majority hired", "SR minority", "SR majority", "AI",
                     "Prob",           "CProb"};
    for (const DistributionRow& row : outcome.analysis.result.distribution) {
      if (!(row.prob > 1e-6)) continue;
      table.rows.push_back({std::to_string(row.n_minority_hired),
                            std::to_string(row.n_majority_hired), fixed(row.sr_minority, 4),
                            fixed(row.sr_majority, 4), fixed(row.ai, 3), fixed(row.prob, 6),
                            fixed(row.cum_prob, 6)});
    }
    splits.blocks.emplace_back(std::move(table));
    page.sections.push_back(std::move(splits));
  }

  plot::Section definitions{"Definitions", {}};
  definitions.blocks.emplace_back(plot::Definitions{{
      {"Split",
       "N2 minority and N1 = hired - N2 majority applicants hired, with its exact "
       "probability when the hires are the best on the predictor."},
      {"AI",
       "Adverse impact ratio (N2 / minority applicants) / (N1 / majority applicants); "
       "undefined when N1 = 0. Its mean and standard deviation are taken over the splits "
       "where it is defined."},
      {"P(AI < T)",
       "Probability that AI is defined and below T, decided in exact integer "
       "arithmetic from T's decimal text."},
      {"P(either rate below T times the other)",
       "Probability that one group's selection rate is below T times the other's."},
      {"Fisher, Z",
       "Two-sided Fisher exact test of the split's 2x2 table with margins fixed, "
       "and the pooled two-proportion Z test, each at level alpha."},
      {"Quantile",
       "The smallest AI whose cumulative probability, over splits ordered by AI with "
       "the undefined AI last, reaches the level."},
      {"Population values",
       "Large-sample selection rates and AI at the cutoff where the hired "
       "share of the pre-screened applicant population equals the hired "
       "share of the scenario; and the same without pre-screening."},
  }});
  page.sections.push_back(std::move(definitions));
  return plot::html_page(page);
}

CurveResult curves_of(const CsvTable& results, const CurveRequest& request) {
  CurveResult out;
  auto column = [&](const std::string& name, bool needed) -> std::optional<std::size_t> {
    if (name.empty() && !needed) return std::nullopt;
    const auto found = find_column(results, name);
    if (found.error) {
      out.error = "no column \"" + name + "\" in the results";
      return std::nullopt;
    }
    return found.value;
  };
  const auto x = column(request.x, true);
  const auto y = column(request.y, true);
  const auto group = column(request.group, false);
  const auto facet = column(request.facet, false);
  const auto status = find_column(results, "status");
  if (!out.error.empty()) return out;

  plot::CurveChart chart;
  chart.title = request.title.empty() ? request.y + " by " + request.x : request.title;
  chart.x_title = request.x;
  chart.y_title = request.y;
  chart.legend_title = request.group;
  if (request.y.starts_with("p_")) {
    chart.y_from = 0.0;
    chart.y_to = 1.0;
  }
  std::map<std::string, std::size_t> facet_at;
  std::vector<std::map<std::string, std::size_t>> curve_at;
  std::size_t left_out = 0;
  for (const CsvRow& row : results.rows) {
    if (!status.error && row.fields[status.value] != "ok") {
      ++left_out;
      continue;
    }
    const std::optional<double> xv = number_of(row.fields[*x]);
    const std::optional<double> yv = number_of(row.fields[*y]);
    if (!xv || !yv) {
      out.error = "line " + std::to_string(row.line) + ": " + request.x + " and " + request.y +
                  " must be numbers, not \"" + row.fields[*x] + "\" and \"" + row.fields[*y] + "\"";
      return out;
    }
    const std::string facet_name = facet ? row.fields[*facet] : std::string();
    auto [f, new_facet] = facet_at.try_emplace(facet_name, chart.facets.size());
    if (new_facet) {
      chart.facets.push_back(plot::Facet{facet ? request.facet + " = " + facet_name : "", {}});
      curve_at.emplace_back();
    }
    plot::Facet& panel = chart.facets[f->second];
    const std::string group_name = group ? row.fields[*group] : request.y;
    auto [c, new_curve] = curve_at[f->second].try_emplace(group_name, panel.curves.size());
    if (new_curve) panel.curves.push_back(plot::Curve{group_name, {}});
    panel.curves[c->second].points.push_back(plot::CurvePoint{*xv, *yv});
  }
  if (left_out > 0)
    chart.note = std::to_string(left_out) + (left_out == 1 ? " row" : " rows") +
                 " whose status is not ok " + (left_out == 1 ? "was" : "were") + " left out";
  out.svg = plot::curve_chart_svg(chart);
  return out;
}

std::string grid_page(const CsvTable& results, const CurveRequest& request) {
  plot::HtmlPage page;
  page.title = "TARVEN grid: " + std::to_string(results.rows.size()) + " scenarios";
  page.subtitle = "Exact finite-sample rates of the adverse impact ratio";
  page.footer = std::string("TARVEN ") + version();
  if (!request.x.empty()) {
    const CurveResult curves = curves_of(results, request);
    plot::Section chart{"Curves", {}};
    if (curves.error.empty())
      chart.blocks.emplace_back(
          plot::Figure{curves.svg, request.y + " against " + request.x + "."});
    else
      chart.blocks.emplace_back(plot::Paragraph{"No curves: " + curves.error});
    page.sections.push_back(std::move(chart));
  }
  plot::Section summary{"Summary", {}};
  plot::DataTable table;
  table.caption = "One row per scenario, as in the results file.";
  table.columns = results.header;
  for (const CsvRow& row : results.rows) table.rows.push_back(row.fields);
  summary.blocks.emplace_back(std::move(table));
  page.sections.push_back(std::move(summary));
  return plot::html_page(page);
}

}  // namespace tarven::cli
