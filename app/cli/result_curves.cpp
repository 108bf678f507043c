#include "cli/result_curves.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>

#include "cli/column_names.h"
#include "plot/curve_chart.h"

namespace tarven::cli {
namespace {

constexpr std::size_t kValuesNamed = 6;  // values listed in a message before "..."

std::optional<double> number_of(const std::string& text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

// A --where value picks a field that reads as the same number ("0.5" picks "0.50"), or the same
// text where either is no number.
bool same_value(const std::string& field, const std::string& value) {
  const std::optional<double> a = number_of(field);
  const std::optional<double> b = number_of(value);
  return a && b ? *a == *b : field == value;
}

std::optional<std::size_t> index_of(const std::vector<std::string>& header,
                                    const std::string& name) {
  const auto at = std::find(header.begin(), header.end(), name);
  if (at == header.end()) return std::nullopt;
  return static_cast<std::size_t>(at - header.begin());
}

// The columns that say which scenario a row is. In a grid's results: the columns it passed
// through and those of the problem (up to cutoff_z, which follows from them), and the engine and
// alpha; in any other table every column but the id.
std::vector<bool> input_columns(const std::vector<std::string>& header) {
  std::vector<bool> input(header.size(), true);
  if (const std::optional<std::size_t> cutoff = index_of(header, "cutoff_z")) {
    for (std::size_t c = *cutoff; c < header.size(); ++c)
      input[c] = header[c] == "engine" || header[c] == "alpha";
  }
  if (const std::optional<std::size_t> id = index_of(header, "scenario_id")) input[*id] = false;
  return input;
}

// "a, b, c, d, e, f, ..." in the order given.
std::string value_list(const std::vector<std::string>& values) {
  std::string text;
  for (std::size_t v = 0; v < values.size() && v < kValuesNamed; ++v)
    text += (v == 0 ? "" : ", ") + values[v];
  if (values.size() > kValuesNamed) text += ", ...";
  return text;
}

std::string and_list(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i)
    text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
  return text;
}

void add_distinct(std::vector<std::string>& values, const std::string& value) {
  if (std::find(values.begin(), values.end(), value) == values.end()) values.push_back(value);
}

struct Where {
  std::size_t column = 0;
  std::vector<std::string> values;  // alternatives
};

// The --where conditions by column, in the order first given.
std::vector<Where> where_of(const std::vector<std::string>& header, const CurveRequest& request) {
  std::vector<Where> where;
  for (const std::string& condition : request.where) {
    const std::size_t equals = condition.find('=');
    const std::size_t column = *index_of(header, condition.substr(0, equals));
    auto at = std::find_if(where.begin(), where.end(),
                           [&](const Where& w) { return w.column == column; });
    if (at == where.end()) at = where.insert(where.end(), Where{column, {}});
    at->values.push_back(condition.substr(equals + 1));
  }
  return where;
}

}  // namespace

std::string y_column(const std::vector<std::string>& header, const CurveRequest& request) {
  if (!request.y.empty()) return request.y;
  for (const std::string& name : header)
    if (name.starts_with("p_ai_lt_")) return name;
  return {};
}

std::string check_request(const std::vector<std::string>& header, const CurveRequest& request) {
  const std::string where = "the results";
  if (request.x.empty()) return "--x must name a column";
  const std::string y = y_column(header, request);
  if (y.empty()) return "no p_ai_lt_ column in the results to draw by default: name one with --y";
  if (request.facets.size() > 2)
    return "--facet takes one column (a row of panels) or two (rows and columns of panels), not " +
           std::to_string(request.facets.size());
  std::vector<std::pair<std::string, std::string>> named{{"--x", request.x}, {"--y", y}};
  if (!request.group.empty()) named.emplace_back("--group", request.group);
  for (const std::string& facet : request.facets) named.emplace_back("--facet", facet);
  for (const auto& [option, name] : named) {
    if (!index_of(header, name)) return option + ": " + unknown_column(header, name, where);
  }
  // x, group and the facets are the picture's coordinates: one column cannot be two of them.
  for (std::size_t a = 0; a < named.size(); ++a) {
    for (std::size_t b = a + 1; b < named.size(); ++b) {
      if (named[a].second == named[b].second && named[a].first != "--y" && named[b].first != "--y")
        return named[a].first + " and " + named[b].first + " both name \"" + named[a].second +
               "\": each column can be drawn one way only";
    }
  }
  for (const std::string& condition : request.where) {
    const std::size_t equals = condition.find('=');
    if (equals == std::string::npos || equals == 0)
      return "--where \"" + condition + "\": must be COLUMN=VALUE, such as --where d=0.5";
    const std::string column = condition.substr(0, equals);
    if (!index_of(header, column))
      return "--where " + condition + ": " + unknown_column(header, column, where);
  }
  return {};
}

CurveResult curves_of(const CsvTable& results, const CurveRequest& request) {
  CurveResult out;
  const std::vector<std::string>& header = results.header;
  if (std::string refused = check_request(header, request); !refused.empty()) {
    out.error = std::move(refused);
    return out;
  }
  const std::string y_name = y_column(header, request);
  const std::size_t x = *index_of(header, request.x);
  const std::size_t y = *index_of(header, y_name);
  // One line where no group column is named: every row has the same (empty) group.
  const bool grouped = !request.group.empty();
  const std::size_t group = grouped ? *index_of(header, request.group) : 0;
  auto group_of = [&](const CsvRow& row) { return grouped ? row.fields[group] : std::string(); };
  std::vector<std::size_t> facets;
  for (const std::string& facet : request.facets) facets.push_back(*index_of(header, facet));
  const std::optional<std::size_t> status = index_of(header, "status");
  const std::vector<Where> where = where_of(header, request);

  // Every --where value must pick something: a value that matches no row is a typing error.
  for (const Where& w : where) {
    for (const std::string& value : w.values) {
      const bool found =
          std::any_of(results.rows.begin(), results.rows.end(),
                      [&](const CsvRow& r) { return same_value(r.fields[w.column], value); });
      if (found) continue;
      std::vector<std::string> present;
      for (const CsvRow& r : results.rows) add_distinct(present, r.fields[w.column]);
      out.error = "--where " + header[w.column] + "=" + value + ": no row has " + header[w.column] +
                  " = " + value + " (its values are " + value_list(present) + ")";
      return out;
    }
  }

  // The rows drawn, by the point they make.
  std::vector<const CsvRow*> drawn;
  std::size_t not_ok = 0;
  std::size_t without_value = 0;
  for (const CsvRow& row : results.rows) {
    const bool picked = std::all_of(where.begin(), where.end(), [&](const Where& w) {
      return std::any_of(w.values.begin(), w.values.end(),
                         [&](const std::string& v) { return same_value(row.fields[w.column], v); });
    });
    if (!picked) continue;
    if (status && row.fields[*status] != "ok") {
      ++not_ok;
      continue;
    }
    if (row.fields[x] == "NA" || row.fields[y] == "NA") {
      ++without_value;
      continue;
    }
    if (!number_of(row.fields[x]) || !number_of(row.fields[y])) {
      out.error = "line " + std::to_string(row.line) + ": " + request.x + " and " + y_name +
                  " must be numbers, not \"" + row.fields[x] + "\" and \"" + row.fields[y] + "\"";
      return out;
    }
    drawn.push_back(&row);
  }

  // Rows that would be one point of one line must be one scenario.
  const std::vector<bool> input = input_columns(header);
  std::map<std::vector<std::string>, const CsvRow*> first_at;
  std::map<std::size_t, std::vector<std::string>> differing;  // column -> values
  for (const CsvRow* row : drawn) {
    std::vector<std::string> key;
    for (const std::size_t f : facets) key.push_back(row->fields[f]);
    key.push_back(group_of(*row));
    key.push_back(row->fields[x]);
    const auto [at, first] = first_at.try_emplace(key, row);
    if (first) continue;
    for (std::size_t c = 0; c < header.size(); ++c) {
      if (!input[c] || c == x || c == y || (grouped && c == group) ||
          std::find(facets.begin(), facets.end(), c) != facets.end())
        continue;
      if (at->second->fields[c] == row->fields[c]) continue;
      add_distinct(differing[c], at->second->fields[c]);
      add_distinct(differing[c], row->fields[c]);
    }
  }
  if (!differing.empty()) {
    std::vector<std::string> same{request.x};
    if (grouped) same.push_back(request.group);
    same.insert(same.end(), request.facets.begin(), request.facets.end());
    std::vector<std::string> varying;
    std::string example;
    for (const auto& [column, values] : differing) {
      varying.push_back(header[column] + " (" + value_list(values) + ")");
      if (example.empty()) example = header[column] + "=" + values.front();
    }
    out.error = "rows with the same " + and_list(same) + " differ in " + and_list(varying) +
                ", and one line would join different scenarios: pick one with --where (such as "
                "--where " +
                example + "), or draw them apart with --group or --facet";
    return out;
  }

  plot::CurveChart chart;
  chart.title = request.title.empty() ? y_name + " by " + request.x : request.title;
  chart.x_title = request.x;
  chart.y_title = y_name;
  chart.legend_title = request.group;
  if (y_name.starts_with("p_")) {
    chart.y_from = 0.0;
    chart.y_to = 1.0;
  }
  // Panels: one per value of a single facet; rows by the first of two, columns by the second.
  std::vector<std::vector<std::string>> facet_values(facets.size());
  for (const CsvRow* row : drawn)
    for (std::size_t f = 0; f < facets.size(); ++f)
      add_distinct(facet_values[f], row->fields[facets[f]]);
  std::vector<std::vector<std::string>> panels;  // the facet values of each panel
  if (facets.size() == 1) {
    for (const std::string& v : facet_values[0]) panels.push_back({v});
  } else if (facets.size() == 2) {
    for (const std::string& r : facet_values[0])
      for (const std::string& c : facet_values[1]) panels.push_back({r, c});
    chart.columns = facet_values[1].size();
  } else {
    panels.emplace_back();
  }
  for (const std::vector<std::string>& values : panels) {
    std::vector<std::string> words;
    for (std::size_t f = 0; f < values.size(); ++f)
      words.push_back(request.facets[f] + " = " + values[f]);
    std::string title;
    for (const std::string& w : words) title += (title.empty() ? "" : ", ") + w;
    chart.facets.push_back(plot::Facet{title, {}});
  }
  std::vector<std::map<std::string, std::size_t>> curve_at(panels.size());
  for (const CsvRow* row : drawn) {
    std::vector<std::string> values;
    for (const std::size_t f : facets) values.push_back(row->fields[f]);
    const std::size_t p =
        static_cast<std::size_t>(std::find(panels.begin(), panels.end(), values) - panels.begin());
    plot::Facet& panel = chart.facets[p];
    const std::string group_name = grouped ? group_of(*row) : y_name;
    const auto [c, new_curve] = curve_at[p].try_emplace(group_name, panel.curves.size());
    if (new_curve) panel.curves.push_back(plot::Curve{group_name, {}});
    panel.curves[c->second].points.push_back(
        plot::CurvePoint{*number_of(row->fields[x]), *number_of(row->fields[y])});
  }

  std::vector<std::string> notes;
  auto rows = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " row" : " rows"); };
  if (not_ok > 0)
    notes.push_back(rows(not_ok) + " whose status is not ok " + (not_ok == 1 ? "was" : "were") +
                    " left out");
  if (without_value > 0)
    notes.push_back(rows(without_value) + " without a value of " + request.x + " or " + y_name +
                    " (NA) " + (without_value == 1 ? "was" : "were") + " left out");
  for (const std::string& note : notes) chart.note += (chart.note.empty() ? "" : "; ") + note;
  out.svg = plot::curve_chart_svg(chart);
  return out;
}

}  // namespace tarven::cli
