#include "cli/summary_table.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/csv.h"

namespace tarven::cli {
namespace {

std::string engine_name(Engine engine) {
  switch (engine) {
    case Engine::kNested:
      return "nested";
    case Engine::kSingle:
      return "single";
  }
  return "";
}

// A named value of the summary: a number (or none), or a text.
struct Cell {
  std::string name;
  std::optional<double> number;
  std::optional<std::string> text;
  bool is_text = false;
  bool is_count = false;  // a whole number, written as a JSON integer
};

Cell number(std::string name, std::optional<double> value) {
  return Cell{std::move(name), value, std::nullopt, false, false};
}
Cell count(std::string name, int value) {
  return Cell{std::move(name), static_cast<double>(value), std::nullopt, false, true};
}
Cell text(std::string name, std::optional<std::string> value) {
  return Cell{std::move(name), std::nullopt, std::move(value), true, false};
}

// The six fields: the checked values where the row passed its checks, else the text as given.
std::vector<Cell> input_cells(const ScenarioInput& input, const ScenarioOutcome& outcome) {
  std::vector<Cell> cells;
  if (outcome.problem) {
    const Problem& p = *outcome.problem;
    cells.push_back(count("n_total", p.n_total()));
    cells.push_back(count("n_majority", p.n_majority()));
    cells.push_back(count("n_minority", p.n_minority()));
    cells.push_back(count("n_hired", p.n_hired()));
    cells.push_back(number("d", p.d()));
    cells.push_back(number("rho", p.rho()));
    cells.push_back(number("retention", p.retention()));
    cells.push_back(number("cutoff_z", p.cutoff()));
    return cells;
  }
  auto given = [&](std::size_t f) -> std::optional<std::string> {
    if (input.fields[f].empty()) return std::nullopt;
    return input.fields[f];
  };
  cells.push_back(text("n_total", given(0)));
  cells.push_back(text("n_majority", given(1)));
  cells.push_back(text("n_minority", std::nullopt));
  cells.push_back(text("n_hired", given(2)));
  cells.push_back(text("d", given(3)));
  cells.push_back(text("rho", given(4)));
  cells.push_back(text("retention", given(5)));
  cells.push_back(text("cutoff_z", std::nullopt));
  return cells;
}

// Everything after the input: results, or none where the scenario has no result.
std::vector<Cell> result_cells(const SummaryLayout& layout, const ScenarioOutcome& outcome,
                               const Questions& questions) {
  const bool ok = outcome.status == ScenarioStatus::kOk;
  const Rates& r = outcome.rates;
  auto value = [&](double v) -> std::optional<double> {
    if (!ok) return std::nullopt;
    return v;
  };
  auto maybe = [&](const std::optional<double>& v) -> std::optional<double> {
    if (!ok) return std::nullopt;
    return v;
  };
  std::vector<Cell> cells;
  cells.push_back(number("sr_majority_mean", value(r.sr_majority_mean)));
  cells.push_back(number("sr_minority_mean", value(r.sr_minority_mean)));
  cells.push_back(number("n_minority_hired_mean", value(r.n_minority_hired_mean)));
  cells.push_back(number("ai_mean", maybe(r.ai_mean)));
  cells.push_back(number("ai_sd", maybe(r.ai_sd)));
  cells.push_back(number("p_ai_undefined", value(r.p_ai_undefined)));
  cells.push_back(number("p_sig_fisher", value(r.p_sig_fisher)));
  cells.push_back(number("p_sig_z", value(r.p_sig_z)));
  for (std::size_t t = 0; t < layout.threshold_suffixes.size(); ++t) {
    const std::string& s = layout.threshold_suffixes[t];
    const bool have = ok && t < r.thresholds.size();
    auto at = [&](double ThresholdRates::*field) -> std::optional<double> {
      if (!have) return std::nullopt;
      return r.thresholds[t].*field;
    };
    cells.push_back(number("p_ai_lt_" + s, at(&ThresholdRates::p_ai_lt)));
    cells.push_back(number("p_flag_two_sided_" + s, at(&ThresholdRates::p_flag_two_sided)));
    cells.push_back(
        number("p_flag_and_sig_fisher_" + s, at(&ThresholdRates::p_flag_and_sig_fisher)));
    cells.push_back(number("p_flag_and_sig_z_" + s, at(&ThresholdRates::p_flag_and_sig_z)));
  }
  for (std::size_t q = 0; q < layout.quantile_suffixes.size(); ++q) {
    std::optional<double> ai;
    if (ok && q < r.quantiles.size()) ai = r.quantiles[q].ai;
    cells.push_back(number("ai_" + layout.quantile_suffixes[q], ai));
  }
  auto population = [](const std::optional<PopulationValues>& p,
                       double PopulationValues::*field) -> std::optional<double> {
    if (!p) return std::nullopt;
    return (*p).*field;
  };
  cells.push_back(number("ai_population", population(outcome.population, &PopulationValues::ai)));
  cells.push_back(number("sr_majority_population",
                         population(outcome.population, &PopulationValues::sr_majority)));
  cells.push_back(number("sr_minority_population",
                         population(outcome.population, &PopulationValues::sr_minority)));
  cells.push_back(number("ai_population_unscreened",
                         population(outcome.population_unscreened, &PopulationValues::ai)));
  cells.push_back(number("cpu_seconds", questions.timing ? outcome.cpu_seconds : std::nullopt));
  cells.push_back(text("tarven_version", std::string(version())));
  return cells;
}

std::string field_text(const Cell& c) {
  if (c.is_text) return c.text ? *c.text : std::string("NA");
  return format_number(c.number);
}

nlohmann::ordered_json json_of(const Cell& c) {
  if (c.is_text) return c.text ? nlohmann::ordered_json(*c.text) : nlohmann::ordered_json(nullptr);
  if (!c.number || !std::isfinite(*c.number)) return nullptr;
  if (c.is_count) return static_cast<std::int64_t>(*c.number);
  return *c.number;
}

// The exactly rounded ratio rather than the report's quotient of rates, so that a script testing
// `ai < 0.8` on the written column agrees with p_ai_lt_0_80.
std::optional<double> written_ai(const ScenarioOutcome& outcome, const DistributionRow& row) {
  if (!outcome.problem) return row.ai;
  return impact_ratio(row.n_minority_hired, row.n_majority_hired, outcome.problem->n_minority(),
                      outcome.problem->n_majority());
}

}  // namespace

std::variant<SummaryLayout, std::string> summary_layout(std::vector<std::string> passthrough,
                                                        const Questions& questions) {
  SummaryLayout layout;
  layout.passthrough = std::move(passthrough);
  for (const std::string& t : questions.thresholds) {
    const Outcome<Threshold> parsed = parse_threshold(t);
    if (!parsed.value) return "--threshold " + t + ": " + parsed.error;
    const std::string suffix = threshold_suffix(*parsed.value);
    for (const std::string& earlier : layout.threshold_suffixes)
      if (earlier == suffix) return "--threshold " + t + ": given twice";
    layout.threshold_suffixes.push_back(suffix);
  }
  for (const double level : questions.quantiles) {
    if (!(level > 0.0 && level <= 1.0))
      return "--quantiles: each level must lie above 0 and at most 1";
    const std::string suffix = quantile_suffix(level);
    for (const std::string& earlier : layout.quantile_suffixes)
      if (earlier == suffix) return "--quantiles: a level is given twice";
    layout.quantile_suffixes.push_back(suffix);
  }
  if (!(questions.alpha > 0.0 && questions.alpha < 1.0))
    return "--alpha: must lie strictly between 0 and 1";
  return layout;
}

std::vector<std::string> summary_header(const SummaryLayout& layout) {
  std::vector<std::string> names{"scenario_id"};
  names.insert(names.end(), layout.passthrough.begin(), layout.passthrough.end());
  ScenarioInput none;
  ScenarioOutcome nothing;
  for (const Cell& c : input_cells(none, nothing)) names.push_back(c.name);
  for (const char* name : {"engine", "status", "error"}) names.emplace_back(name);
  for (const Cell& c : result_cells(layout, nothing, Questions{})) names.push_back(c.name);
  return names;
}

std::vector<std::string> summary_fields(const SummaryLayout& layout, const ScenarioInput& input,
                                        const ScenarioOutcome& outcome,
                                        const Questions& questions) {
  std::vector<std::string> fields{input.id};
  for (std::size_t c = 0; c < layout.passthrough.size(); ++c)
    fields.push_back(c < input.passthrough.size() ? input.passthrough[c] : std::string());
  for (const Cell& c : input_cells(input, outcome)) fields.push_back(field_text(c));
  fields.push_back(engine_name(questions.engine));
  fields.push_back(status_word(outcome.status));
  fields.push_back(outcome.error.empty() ? std::string("NA") : outcome.error);
  for (const Cell& c : result_cells(layout, outcome, questions)) fields.push_back(field_text(c));
  return fields;
}

std::string summary_json(const SummaryLayout& layout, const ScenarioInput& input,
                         const ScenarioOutcome& outcome, const Questions& questions,
                         bool with_distribution, int indent) {
  nlohmann::ordered_json object;
  object["scenario_id"] = input.id;
  nlohmann::ordered_json in = nlohmann::ordered_json::object();
  for (std::size_t c = 0; c < layout.passthrough.size(); ++c)
    in[layout.passthrough[c]] = c < input.passthrough.size() ? input.passthrough[c] : "";
  for (const Cell& c : input_cells(input, outcome)) in[c.name] = json_of(c);
  object["input"] = std::move(in);
  object["engine"] = engine_name(questions.engine);
  object["status"] = status_word(outcome.status);
  object["error"] = outcome.error.empty() ? nlohmann::ordered_json(nullptr)
                                          : nlohmann::ordered_json(outcome.error);
  nlohmann::ordered_json summary = nlohmann::ordered_json::object();
  for (const Cell& c : result_cells(layout, outcome, questions)) summary[c.name] = json_of(c);
  object["summary"] = std::move(summary);
  if (with_distribution) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    if (outcome.status == ScenarioStatus::kOk) {
      for (const DistributionRow& row : outcome.result.distribution) {
        nlohmann::ordered_json r;
        r["n_minority_hired"] = row.n_minority_hired;
        r["n_majority_hired"] = row.n_majority_hired;
        r["sr_minority"] = row.sr_minority;
        r["sr_majority"] = row.sr_majority;
        const std::optional<double> ai = written_ai(outcome, row);
        r["ai"] = ai ? nlohmann::ordered_json(*ai) : nlohmann::ordered_json(nullptr);
        r["prob"] = row.prob;
        r["cum_prob"] = row.cum_prob;
        rows.push_back(std::move(r));
      }
    }
    object["distribution"] = std::move(rows);
  }
  return object.dump(indent);
}

bool read_summary_json(const std::string& line, std::string& id, std::string& status) {
  const auto object = nlohmann::json::parse(line, nullptr, false);
  if (object.is_discarded() || !object.is_object() || !object.contains("scenario_id") ||
      !object["scenario_id"].is_string() || !object.contains("status") ||
      !object["status"].is_string())
    return false;
  id = object["scenario_id"].get<std::string>();
  status = object["status"].get<std::string>();
  return true;
}

std::string distribution_lines(const ScenarioInput& input, const ScenarioOutcome& outcome) {
  std::string out;
  if (outcome.status != ScenarioStatus::kOk) return out;
  const std::string id = csv_field(input.id);
  for (const DistributionRow& row : outcome.result.distribution) {
    out += id;
    out += ',';
    out += std::to_string(row.n_minority_hired);
    out += ',';
    out += std::to_string(row.n_majority_hired);
    out += ',';
    out += format_number(row.sr_minority);
    out += ',';
    out += format_number(row.sr_majority);
    out += ',';
    out += format_number(written_ai(outcome, row));
    out += ',';
    out += format_number(row.prob);
    out += ',';
    out += format_number(row.cum_prob);
    out += '\n';
  }
  return out;
}

}  // namespace tarven::cli
