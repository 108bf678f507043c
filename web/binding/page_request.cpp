#include "page_request.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <variant>
#include <vector>

#include "cli/summary_table.h"
#include "plot/analysis_chart.h"
#include "tarven/analysis.h"
#include "tarven/version.h"

namespace tarven::web {
namespace {

using Json = nlohmann::ordered_json;

Json number(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  return v;
}

Json field_json(const SummaryField& f) {
  Json out;
  out["name"] = f.name;
  out["kind"] = f.kind == FieldKind::kCount  ? "count"
                : f.kind == FieldKind::kText ? "text"
                                             : "number";
  if (const auto* c = std::get_if<std::int64_t>(&f.value))
    out["value"] = *c;
  else if (const auto* d = std::get_if<double>(&f.value))
    out["value"] = number(*d);
  else if (const auto* t = std::get_if<std::string>(&f.value))
    out["value"] = *t;
  else
    out["value"] = nullptr;
  return out;
}

Json fields_json(const std::vector<SummaryField>& fields) {
  Json out = Json::array();
  for (const SummaryField& f : fields) out.push_back(field_json(f));
  return out;
}

std::string dump(const Json& j) {
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json refusal(const Questions& q, const std::string& message, std::vector<std::string> refused) {
  Json out;
  out["status"] = status_name(AnalysisStatus::kInvalidQuestions);
  out["message"] = message;
  out["refused"] = std::move(refused);
  out["fields"] = fields_json(refused_summary_fields(q, Engine::kSingle, message));
  out["version"] = TARVEN_VERSION_STRING;
  return out;
}

// The distribution columns after scenario_id, as `tarven run --distribution` writes them.
std::vector<std::string> distribution_columns() {
  std::vector<std::string> names;
  std::string_view header = cli::kDistributionHeader;
  while (!header.empty()) {
    const std::size_t comma = header.find(',');
    names.emplace_back(header.substr(0, comma));
    header = comma == std::string_view::npos ? std::string_view() : header.substr(comma + 1);
  }
  names.erase(names.begin());
  return names;
}

// One split's value in a column; empty for a column this binding does not know, which the
// answer then reports rather than filling with something else.
std::optional<Json> split_value(const std::string& column, const DistributionRow& row,
                                const Problem& p) {
  if (column == "n_minority_hired") return Json(row.n_minority_hired);
  if (column == "n_majority_hired") return Json(row.n_majority_hired);
  if (column == "sr_minority") return number(row.sr_minority);
  if (column == "sr_majority") return number(row.sr_majority);
  if (column == "ai") {
    // Rounded once from the counts, as the command line writes it.
    const std::optional<double> ai =
        impact_ratio(row.n_minority_hired, row.n_majority_hired, p.n_minority(), p.n_majority());
    return ai ? number(*ai) : Json(nullptr);
  }
  if (column == "prob") return number(row.prob);
  if (column == "cum_prob") return number(row.cum_prob);
  return std::nullopt;
}

Json answer(const Json& request, Observer* observer) {
  Questions q;
  if (request.contains("thresholds") && request["thresholds"].is_array()) {
    q.thresholds.clear();
    for (const Json& t : request["thresholds"])
      q.thresholds.push_back(t.is_string() ? t.get<std::string>() : std::string());
  }
  if (request.contains("alpha") && request["alpha"].is_number())
    q.alpha = request["alpha"].get<double>();
  // A scenario the page could not read (a field that is not a number, a broken line) is refused
  // with the page's reason, in the same columns.
  if (request.contains("refusal") && request["refusal"].is_string())
    return refusal(q, request["refusal"].get<std::string>(), {});
  // Which of the page's fields a refused question belongs to: each asked on its own.
  if (std::optional<std::string> refused = check_questions(q)) {
    Questions thresholds_only = q;
    thresholds_only.alpha = Questions{}.alpha;
    const bool threshold_at_fault = check_questions(thresholds_only).has_value();
    return refusal(q, *refused, {threshold_at_fault ? "threshold" : "alpha"});
  }

  ScenarioInputs inputs;
  const Json empty = Json::object();
  const Json& given =
      request.contains("inputs") && request["inputs"].is_object() ? request["inputs"] : empty;
  // The page names its inputs as the library does.
  for (const ScenarioInputName& input : kScenarioInputNames)
    if (given.contains(input.name) && given[input.name].is_number())
      inputs.*input.member = given[input.name].get<double>();
  std::variant<Problem, InputsError> made = problem_from(inputs);
  if (const auto* error = std::get_if<InputsError>(&made))
    return refusal(q, error->message, error->fields);
  const Problem& problem = std::get<Problem>(made);

  Options options;
  options.threads = 1;  // no shared memory between a page's workers
  const Analysis analysis = analyse(problem, q, options, observer);
  Json out;
  out["status"] = status_name(analysis.status);
  out["message"] = analysis.message;
  out["refused"] = Json::array();
  out["fields"] = fields_json(summary_fields(problem, q, analysis));
  out["version"] = TARVEN_VERSION_STRING;
  const bool details = request.contains("details") && request["details"].is_boolean() &&
                       request["details"].get<bool>();
  if (!details || analysis.status != AnalysisStatus::kOk) return out;

  const std::vector<std::string> columns = distribution_columns();
  Json rows = Json::array();
  for (const DistributionRow& row : analysis.result.distribution) {
    Json values = Json::array();
    for (const std::string& column : columns) {
      std::optional<Json> v = split_value(column, row, problem);
      if (!v) {
        out["status"] = status_name(AnalysisStatus::kNumericalError);
        out["message"] = "the page cannot fill the distribution column " + column;
        return out;
      }
      values.push_back(std::move(*v));
    }
    rows.push_back(std::move(values));
  }
  Json kinds = Json::array();
  for (const Json& value : rows.empty() ? Json::array() : rows.front())
    kinds.push_back(value.is_number_integer() ? "count" : "number");
  out["distribution_columns"] = columns;
  out["distribution_kinds"] = std::move(kinds);
  out["distribution"] = std::move(rows);
  // The problem's real numbers as the page writes them (the shortest text that reads back as
  // each), which this module's standard library cannot.
  auto text = [&](const char* name) {
    if (!request.contains("number_texts") || !request["number_texts"].is_object())
      return std::string();
    const Json& given = request["number_texts"];
    return given.contains(name) && given[name].is_string() ? given[name].get<std::string>()
                                                           : std::string();
  };
  const std::string title = plot::problem_title(problem, text("d"), text("rho"), text("retention"));
  out["chart"] = plot::distribution_chart_svg(plot::analysis_chart(analysis, title, false));
  return out;
}

}  // namespace

std::string answer_request(std::string_view request, Observer* observer) {
  const Json parsed = Json::parse(request, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object())
    return dump(refusal(Questions{}, "the page sent a request that is not a JSON object", {}));
  return dump(answer(parsed, observer));
}

}  // namespace tarven::web
