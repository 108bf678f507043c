#include "cli/column_names.h"

#include <algorithm>
#include <cctype>

namespace tarven::cli {
namespace {

std::string quoted(std::string_view name) {
  std::string text;
  text.reserve(name.size() + 2);
  text.push_back('"');
  text.append(name);
  text.push_back('"');
  return text;
}

// Edits (insert, delete, replace, swap two neighbours) that turn a into b.
std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

// Whether b is a with two neighbouring characters swapped.
bool swapped(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  while (i < a.size() && a[i] == b[i]) ++i;
  return i + 1 < a.size() && a[i] == b[i + 1] && a[i + 1] == b[i] &&
         a.substr(i + 2) == b.substr(i + 2);
}

struct Candidate {
  std::size_t distance = 0;
  std::string how;
};

// How `column` differs from `wanted` (a lower-case name with '_' between words), if it is close.
std::optional<Candidate> compare(std::string_view column, std::string_view wanted) {
  std::vector<std::string> how;
  const std::size_t first = column.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  const std::string_view trimmed = column.substr(first, column.find_last_not_of(" \t") - first + 1);
  if (trimmed.size() != column.size()) how.emplace_back("with blanks around it");
  std::string joined(trimmed);
  std::string separator;
  for (char& c : joined) {
    if (c == '.' || c == ' ' || c == '-') {
      if (separator.empty()) separator = std::string(1, c);
      c = '_';
    }
  }
  if (!separator.empty()) how.push_back("with '" + separator + "' for '_'");
  std::string lower = joined;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower != joined) how.emplace_back("in another case");
  // A letter off in a short name is another name ("d" and "id"); two only in a long one.
  const std::size_t allowed = std::min<std::size_t>(2, wanted.size() / 3);
  const std::size_t distance = edit_distance(lower, wanted);
  if (distance > allowed) return std::nullopt;
  if (distance == 1)
    how.emplace_back(swapped(lower, wanted) ? "two characters swapped" : "one character off");
  if (distance == 2) how.emplace_back("two characters off");
  if (how.empty()) return std::nullopt;  // the name itself
  std::string words;
  for (std::size_t h = 0; h < how.size(); ++h)
    words += (h == 0 ? "" : h + 1 == how.size() ? " and " : ", ") + how[h];
  return Candidate{distance, words};
}

std::string alternatives(const std::vector<std::string>& need) {
  std::string text = need.front();
  if (need.size() > 1) {
    text += " (or ";
    for (std::size_t n = 1; n < need.size(); ++n) text += (n == 1 ? "" : " or ") + need[n];
    text += ")";
  }
  return text;
}

}  // namespace

std::string quoted_list(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + quoted(name);
  return text;
}

std::optional<std::string> header_fault(const std::vector<std::string>& header) {
  if (header.size() == 1) {
    for (const auto& [mark, name] : {std::pair{';', "semicolons (;)"}, {'\t', "tabs"}}) {
      if (header[0].find(mark) == std::string::npos) continue;
      return "the header is one column, " + quoted(header[0]) + ": the file is separated by " +
             name +
             ", and tarven reads comma-separated files (in R, write.csv rather than "
             "write.csv2 or write.table; from a spreadsheet, save as comma-separated CSV)";
    }
  }
  for (std::size_t c = 0; c < header.size(); ++c) {
    if (header[c].find_first_not_of(" \t") != std::string::npos) continue;
    const std::string which =
        "column " + std::to_string(c + 1) + " of " + std::to_string(header.size()) + " has no name";
    if (c == 0)
      return which +
             ": R's write.csv writes the row names there; write the file with "
             "write.csv(x, file, row.names = FALSE)";
    if (c + 1 == header.size()) return which + ": is there a comma at the end of the header?";
    return which + ": every column needs one";
  }
  return std::nullopt;
}

std::optional<NearMiss> near_miss(const std::vector<std::string>& header, std::string_view wanted) {
  std::optional<NearMiss> best;
  for (const std::string& column : header) {
    const std::optional<Candidate> c = compare(column, wanted);
    if (!c || (best && c->distance >= best->distance)) continue;
    best = NearMiss{column, c->how, c->distance};
  }
  return best;
}

std::optional<std::string> missing_columns(const std::vector<std::string>& header,
                                           const std::vector<std::vector<std::string>>& needs) {
  std::vector<std::string> missing;
  std::vector<std::string> hints;
  for (const std::vector<std::string>& need : needs) {
    const bool found = std::any_of(need.begin(), need.end(), [&](const std::string& name) {
      return std::find(header.begin(), header.end(), name) != header.end();
    });
    if (found) continue;
    missing.push_back(alternatives(need));
    // The nearest miss of any of the names.
    std::optional<NearMiss> nearest;
    std::string meant;
    for (const std::string& name : need) {
      const std::optional<NearMiss> near = near_miss(header, name);
      if (!near || (nearest && near->distance >= nearest->distance)) continue;
      nearest = near;
      meant = name;
    }
    if (nearest)
      hints.push_back(quoted(nearest->column) + " for " + meant + " (" + nearest->how + ")");
  }
  if (missing.empty()) return std::nullopt;
  std::string text = missing.size() == 1 ? "no column " : "no columns ";
  for (std::size_t m = 0; m < missing.size(); ++m)
    text += (m == 0 ? "" : m + 1 == missing.size() ? " and " : ", ") + missing[m];
  text += "; the header has " + quoted_list(header);
  if (!hints.empty()) {
    text += "; did you mean ";
    for (std::size_t h = 0; h < hints.size(); ++h)
      text += (h == 0 ? "" : h + 1 == hints.size() ? " and " : ", ") + hints[h];
    text += "?";
  }
  return text;
}

std::string unknown_column(const std::vector<std::string>& header, std::string_view name,
                           std::string_view where) {
  std::string text = "no column " + quoted(name) + " in " + std::string(where);
  if (const std::optional<NearMiss> near = near_miss(header, name))
    text += " (did you mean " + quoted(near->column) + ", " + near->how + "?)";
  return text + "; its columns are " + quoted_list(header);
}

}  // namespace tarven::cli
