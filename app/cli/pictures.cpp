#include "cli/pictures.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/output_file.h"
#include "plot/analysis_chart.h"
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

std::string level_text(double level) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g%%", level * 100.0);
  return buffer;
}

// What every figure of the pages means, by its words on the run page and its column in the grid's
// results.
plot::Section definitions() {
  plot::Section section{"Definitions", {}};
  section.blocks.emplace_back(plot::Definitions{{
      {"Scenario (n_total, n_majority, n_minority, n_hired)",
       "n_total applicants, n_majority of the majority group and n_minority of the minority "
       "group, of whom the n_hired best on the predictor are hired (top-down)."},
      {"d",
       "The majority's predictor mean minus the minority's, in within-group standard deviations."},
      {"rho, retention, cutoff_z",
       "The applicants were pre-screened on a variable correlated rho with the predictor; the "
       "pre-screening keeps the share retention of the minority group, those above cutoff_z on "
       "the standard normal scale, and the majority applicants above the same cutoff."},
      {"Split",
       "N2 minority and N1 = n_hired - N2 majority applicants hired, with its exact "
       "probability when the hires are the best on the predictor."},
      {"AI",
       "Adverse impact ratio (N2 / n_minority) / (N1 / n_majority); undefined when N1 = 0. Its "
       "mean and standard deviation (ai_mean, ai_sd) are taken over the splits where it is "
       "defined; p_ai_undefined = P(N1 = 0)."},
      {"Expected selection rates (sr_majority_mean, sr_minority_mean, n_minority_hired_mean)",
       "E(N1) / n_majority, E(N2) / n_minority and E(N2)."},
      {"P(AI < T) (p_ai_lt_T)",
       "Probability that AI is defined and below T, decided in exact integer arithmetic from "
       "T's decimal text (0_80 in a column name is T = 0.80)."},
      {"P(either rate below T times the other) (p_flag_two_sided_T)",
       "Probability that one group's selection rate is below T times the other's."},
      {"Fisher, Z (p_sig_fisher, p_sig_z)",
       "Probability that the two-sided Fisher exact test of the split's 2x2 table (margins "
       "fixed), or the pooled two-proportion Z test, is significant at level alpha."},
      {"P(AI < T and significant) (p_flag_and_sig_fisher_T, p_flag_and_sig_z_T)",
       "Probability that AI < T and that test is significant."},
      {"Quantile (ai_qP)",
       "The smallest AI whose cumulative probability, over splits ordered by AI with the "
       "undefined AI last, reaches the level P %; NA where that is the undefined split."},
      {"Population values (ai_population, sr_majority_population, sr_minority_population, "
       "ai_population_unscreened)",
       "Large-sample selection rates and AI at the cutoff where the hired share of the "
       "pre-screened applicant population equals n_hired / n_total; and AI without "
       "pre-screening."},
      {"engine, status, error",
       "The engine that computed the row; ok, or why the row has no numbers (invalid, "
       "numerical_error, abandoned, out_of_memory, interrupted) with the reason in error."},
  }});
  return section;
}

}  // namespace

std::string scenario_title(const ScenarioInput& input, const ScenarioOutcome& outcome) {
  if (!outcome.problem) {
    std::string given;
    for (std::size_t f = 0; f < kInputColumns.size(); ++f)
      if (!input.fields[f].empty())
        given +=
            (given.empty() ? "" : ", ") + std::string(kInputColumns[f]) + " = " + input.fields[f];
    return given.empty() ? std::string("no inputs") : given;
  }
  const Problem& p = *outcome.problem;
  return plot::problem_title(p, shortest(p.d()), shortest(p.rho()), shortest(p.retention()));
}

std::string distribution_svg(const ScenarioInput& input, const ScenarioOutcome& outcome,
                             const CommandQuestions& /*questions*/, bool cumulative) {
  return plot::distribution_chart_svg(
      plot::analysis_chart(outcome.analysis, scenario_title(input, outcome), cumulative));
}

std::string write_picture(const std::string& path, const std::string& svg) {
  if (picture_format(path) == PictureFormat::kPng) {
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
    if (const std::string& share = input.field("minority_share"); !share.empty())
      given.rows.emplace_back("Minority share, as given", share);
    if (const std::string& ratio = input.field("selection_ratio"); !ratio.empty())
      given.rows.emplace_back("Selection ratio, as given", ratio);
  } else {
    for (std::size_t f = 0; f < kInputColumns.size(); ++f)
      if (!input.fields[f].empty()) given.rows.emplace_back(kInputColumns[f], input.fields[f]);
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

  page.sections.push_back(definitions());
  return plot::html_page(page);
}

std::string grid_page(const CsvTable& results, const std::string& y_column,
                      const std::string& curves_svg) {
  plot::HtmlPage page;
  page.wide = true;
  page.title = "TARVEN grid: " + std::to_string(results.rows.size()) + " scenarios";
  page.subtitle = "Exact finite-sample rates of the adverse impact ratio";
  page.footer = std::string("TARVEN ") + version();
  if (!curves_svg.empty()) {
    plot::Section chart{"Curves", {}};
    chart.blocks.emplace_back(plot::Figure{curves_svg, y_column + " for every scenario drawn."});
    page.sections.push_back(std::move(chart));
  }
  plot::Section summary{"Summary", {}};
  plot::DataTable table;
  table.caption =
      "One row per scenario, as in the results file; numbers to four significant digits (the "
      "full value in the tooltip and in the file).";
  table.columns = results.header;
  table.significant_digits = 4;
  for (const CsvRow& row : results.rows) table.rows.push_back(row.fields);
  summary.blocks.emplace_back(std::move(table));
  page.sections.push_back(std::move(summary));
  page.sections.push_back(definitions());
  return plot::html_page(page);
}

std::optional<PictureFormat> picture_format(std::string_view path) {
  if (path == "-") return PictureFormat::kSvg;
  std::string lower(
      path.substr(path.rfind('.') == std::string_view::npos ? path.size() : path.rfind('.')));
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == ".svg") return PictureFormat::kSvg;
  if (lower == ".png") return PictureFormat::kPng;
  if (lower == ".html" || lower == ".htm") return PictureFormat::kHtml;
  return std::nullopt;
}

}  // namespace tarven::cli
