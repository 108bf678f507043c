#include "cli/summary_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/column_names.h"
#include "cli/csv.h"
#include "common/utf8_text.h"

namespace tarven::cli {
namespace {

// The columns the problem's checks fill in, which a refused row echoes as given instead.
constexpr std::size_t kProblemColumns = 8;  // n_total .. cutoff_z
// The JSON object's top level holds these; "summary" the rest.
bool top_level(const std::string& name) {
  return name == "engine" || name == "alpha" || name == "status" || name == "error";
}

// The library's columns of the scenario, with a refused row's input fields as given.
std::vector<SummaryField> fields_of(const SummaryLayout& layout, const ScenarioInput& input,
                                    const ScenarioOutcome& outcome) {
  if (outcome.problem) return summary_fields(*outcome.problem, layout.questions, outcome.analysis);
  std::vector<SummaryField> fields =
      refused_summary_fields(layout.questions, layout.questions.engine, outcome.error());
  for (std::size_t f = 0; f < kInputColumns.size(); ++f) {
    if (input.fields[f].empty()) continue;
    for (SummaryField& field : fields) {
      if (field.name != kInputColumns[f]) continue;
      field.kind = FieldKind::kText;
      field.value = input.fields[f];
    }
  }
  return fields;
}

std::string text_of(const SummaryField& f) {
  if (const auto* count = std::get_if<std::int64_t>(&f.value)) return std::to_string(*count);
  if (const auto* number = std::get_if<double>(&f.value)) return format_number(*number);
  if (const auto* text = std::get_if<std::string>(&f.value)) return *text;
  return "NA";
}

nlohmann::ordered_json json_of(const SummaryField& f) {
  if (const auto* count = std::get_if<std::int64_t>(&f.value)) return *count;
  if (const auto* number = std::get_if<double>(&f.value)) {
    if (!std::isfinite(*number)) return nullptr;
    return *number;
  }
  if (const auto* text = std::get_if<std::string>(&f.value)) return common::valid_utf8(*text);
  return nullptr;
}

// A label as given; a share, which the scenario reads as a number, as that number where it is one.
nlohmann::ordered_json passthrough_json(const std::string& name, const std::string& given) {
  if (!is_share(name)) return given;
  double value = 0.0;
  const char* end = given.data() + given.size();
  const auto [ptr, ec] = std::from_chars(given.data(), end, value);
  if (given.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return given;
  return value;
}

std::optional<double> cpu_seconds(const SummaryLayout& layout, const ScenarioOutcome& outcome) {
  return layout.questions.timing ? outcome.cpu_seconds : std::nullopt;
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
                                                        const CommandQuestions& questions) {
  if (std::optional<std::string> refused = check_questions(questions)) return *refused;
  SummaryLayout layout{{}, questions};
  // A column of the scenarios named like one of the output would be written twice, and readers
  // of the file would take one for the other.
  const std::vector<std::string> own = summary_header(layout);
  std::vector<std::string> clashes;
  for (const std::string& name : passthrough)
    if (std::find(own.begin(), own.end(), name) != own.end()) clashes.push_back(name);
  if (!clashes.empty())
    return "the scenarios' column" + std::string(clashes.size() == 1 ? " " : "s ") +
           quoted_list(clashes) + (clashes.size() == 1 ? " is" : " are") +
           " also written by tarven, which would give the output two columns of that name: "
           "rename or remove " +
           (clashes.size() == 1 ? "it" : "them");
  layout.passthrough = std::move(passthrough);
  return layout;
}

std::vector<std::string> summary_header(const SummaryLayout& layout) {
  std::vector<std::string> names{"scenario_id"};
  names.insert(names.end(), layout.passthrough.begin(), layout.passthrough.end());
  for (const SummaryField& f :
       refused_summary_fields(layout.questions, layout.questions.engine, ""))
    names.push_back(f.name);
  names.emplace_back("cpu_seconds");
  names.emplace_back("tarven_version");
  return names;
}

std::vector<std::string> summary_row(const SummaryLayout& layout, const ScenarioInput& input,
                                     const ScenarioOutcome& outcome) {
  std::vector<std::string> row{input.id};
  for (std::size_t c = 0; c < layout.passthrough.size(); ++c)
    row.push_back(c < input.passthrough.size() ? input.passthrough[c] : std::string());
  for (const SummaryField& f : fields_of(layout, input, outcome)) row.push_back(text_of(f));
  row.push_back(format_number(cpu_seconds(layout, outcome)));
  row.emplace_back(version());
  return row;
}

std::string summary_json(const SummaryLayout& layout, const ScenarioInput& input,
                         const ScenarioOutcome& outcome, bool with_distribution, int indent) {
  const std::vector<SummaryField> fields = fields_of(layout, input, outcome);
  nlohmann::ordered_json object;
  // Text that is not UTF-8 is repaired as the CSV writer repairs it (csv_field).
  object["scenario_id"] = common::valid_utf8(input.id);
  nlohmann::ordered_json in = nlohmann::ordered_json::object();
  for (std::size_t c = 0; c < layout.passthrough.size(); ++c) {
    const std::string given =
        c < input.passthrough.size() ? common::valid_utf8(input.passthrough[c]) : "";
    in[common::valid_utf8(layout.passthrough[c])] = passthrough_json(layout.passthrough[c], given);
  }
  for (std::size_t f = 0; f < kProblemColumns && f < fields.size(); ++f)
    in[fields[f].name] = json_of(fields[f]);
  object["input"] = std::move(in);
  nlohmann::ordered_json summary = nlohmann::ordered_json::object();
  for (std::size_t f = kProblemColumns; f < fields.size(); ++f) {
    if (top_level(fields[f].name))
      object[fields[f].name] = json_of(fields[f]);
    else
      summary[fields[f].name] = json_of(fields[f]);
  }
  const std::optional<double> seconds = cpu_seconds(layout, outcome);
  summary["cpu_seconds"] = seconds ? nlohmann::ordered_json(*seconds) : nullptr;
  summary["tarven_version"] = version();
  object["summary"] = std::move(summary);
  if (with_distribution) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    if (outcome.ok()) {
      for (const DistributionRow& row : outcome.analysis.result.distribution) {
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
  // Every text above is UTF-8 already; should anything else slip through, it is replaced rather
  // than thrown.
  return object.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string distribution_lines(const ScenarioInput& input, const ScenarioOutcome& outcome) {
  std::string out;
  if (!outcome.ok()) return out;
  const std::string id = csv_field(input.id);
  for (const DistributionRow& row : outcome.analysis.result.distribution) {
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
