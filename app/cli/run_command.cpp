#include "cli/run_command.h"

#include <cstdio>

#include "cli/grid_command.h"
#include "cli/output_file.h"
#include "cli/pictures.h"
#include "cli/summary_table.h"

namespace tarven::cli {
namespace {

void say(const std::string& message) {
  const std::string line = "tarven run: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string fixed(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
}

std::string fixed(const std::optional<double>& v, int decimals) {
  return v ? fixed(*v, decimals) : std::string("undefined");
}

// Writes `text` to `path` whole or not at all; an error text, or "".
std::string write_whole(const std::string& path, const std::string& text) {
  OutputFile file;
  std::string error = file.open(path);
  if (error.empty()) error = file.write(text);
  if (error.empty()) error = file.commit();
  return error;
}

}  // namespace

std::string text_summary(const ScenarioInput& input, const ScenarioOutcome& outcome,
                         const CommandQuestions& questions) {
  std::string out;
  out += "Scenario: " + scenario_title(input, outcome) + "\n";
  if (outcome.problem)
    out += "Pre-screening cutoff (z): " + fixed(outcome.problem->cutoff(), 4) + "\n";
  out += std::string("Status: ") + outcome.status();
  if (!outcome.error().empty()) out += " (" + outcome.error() + ")";
  out += "\n";
  if (!outcome.ok()) return out;
  const Rates& r = outcome.analysis.rates;
  out += "Expected selection rates: majority " + fixed(r.sr_majority_mean, 4) + ", minority " +
         fixed(r.sr_minority_mean, 4) + "\n";
  out += "Expected minority hires: " + fixed(r.n_minority_hired_mean, 4) + "\n";
  out += "AI: mean " + fixed(r.ai_mean, 4) + ", sd " + fixed(r.ai_sd, 4) +
         " (where defined); P(undefined) = " + fixed(r.p_ai_undefined, 4) + "\n";
  for (const ThresholdRates& t : r.thresholds) {
    out += "Threshold " + t.text + ": P(AI < " + t.text + ") = " + fixed(t.p_ai_lt, 4) +
           ", P(either rate below " + t.text +
           " times the other) = " + fixed(t.p_flag_two_sided, 4) + "\n";
    out += "  and significant: Fisher " + fixed(t.p_flag_and_sig_fisher, 4) + ", Z " +
           fixed(t.p_flag_and_sig_z, 4) + "\n";
  }
  char alpha[32];
  std::snprintf(alpha, sizeof alpha, "%g", questions.alpha);
  out += std::string("Significant at alpha ") + alpha + ": Fisher exact " +
         fixed(r.p_sig_fisher, 4) + ", pooled Z " + fixed(r.p_sig_z, 4) + "\n";
  out += "AI quantiles:";
  for (const AiQuantile& q : r.quantiles) {
    char level[32];
    std::snprintf(level, sizeof level, "%g%%", q.level * 100.0);
    out += std::string(" ") + level + " " + fixed(q.ai, 3);
  }
  out += "\n";
  auto population = [](const std::optional<PopulationValues>& p) {
    return p ? fixed(p->ai, 4) : std::string("NA");
  };
  out += "Population AI: " + population(outcome.analysis.population) + " pre-screened, " +
         population(outcome.analysis.population_unscreened) + " without pre-screening\n";
  return out;
}

int run_one(const RunSettings& settings) {
  // Shares given as flags are written beside the summary, as a grid passes its share columns on.
  ScenarioInput scenario = settings.scenario;
  std::vector<std::string> shares;
  for (std::size_t f = 0; f < kInputColumns.size(); ++f) {
    if (!is_share(kInputColumns[f]) || scenario.fields[f].empty()) continue;
    shares.emplace_back(kInputColumns[f]);
    scenario.passthrough.push_back(scenario.fields[f]);
  }
  auto laid_out = summary_layout(shares, settings.questions);
  if (auto* error = std::get_if<std::string>(&laid_out)) {
    say(*error);
    return kExitUsage;
  }
  const SummaryLayout& layout = std::get<SummaryLayout>(laid_out);
  const ScenarioOutcome outcome = evaluate_scenario(scenario, settings.questions, nullptr);

  std::string text;
  if (settings.format == "json") {
    text = summary_json(layout, scenario, outcome, true, 2) + "\n";
  } else if (settings.format == "csv") {
    text = csv_record(summary_header(layout)) + "\n" +
           csv_record(summary_row(layout, scenario, outcome)) + "\n";
  } else {
    text = text_summary(scenario, outcome, settings.questions);
  }

  std::string error = write_whole(settings.output, text);
  if (error.empty() && !settings.distribution.empty())
    error = write_whole(settings.distribution, std::string(kDistributionHeader) + "\n" +
                                                   distribution_lines(scenario, outcome));
  if (error.empty() && !settings.plot.empty() && outcome.ok())
    error = write_picture(settings.plot, distribution_svg(scenario, outcome, settings.questions,
                                                          settings.plot_cumulative));
  if (error.empty() && !settings.html.empty())
    error = write_whole(settings.html, run_page(scenario, outcome, settings.questions));
  if (!error.empty()) {
    say(error);
    return kExitOutput;
  }
  if (!outcome.ok() && (!settings.plot.empty()))
    say("no chart: the scenario has no distribution (" + outcome.error() + ")");
  return outcome.ok() ? kExitOk : kExitSomeNotOk;
}

}  // namespace tarven::cli
