#pragma once

// What to say when a table's header lacks the columns a command needs: every missing column at
// once, the columns the header does have, and the near misses people make (a name in capitals,
// a blank before it, R's "n.total" for "n_total", a letter or two off), so that the fix is
// plain from one message. Also the files that are no comma-separated table of names at all: a
// semicolon- or tab-separated file, or R's row names under an empty column name.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarven::cli {

// Why the header cannot be taken as column names; empty when it can.
std::optional<std::string> header_fault(const std::vector<std::string>& header);

// The header column that looks most like `wanted` without being it, and how it differs ("in
// another case", "with blanks around it", "with '.' for '_'", "one character off", "two characters
// swapped", "two characters off"); nothing when none is that close.
struct NearMiss {
  std::string column;
  std::string how;
  std::size_t distance = 0;  // characters to change once case, blanks and separators are set
};
std::optional<NearMiss> near_miss(const std::vector<std::string>& header, std::string_view wanted);

// Each need names one column, or the columns of which any one will do. Empty when the header has
// a column for every need; otherwise one line naming every missing need, the columns found and
// the near misses.
std::optional<std::string> missing_columns(const std::vector<std::string>& header,
                                           const std::vector<std::vector<std::string>>& needs);

// For a column asked for by name that the header lacks: `no column "x" in <where>`, then the near
// miss if there is one and the columns found.
std::string unknown_column(const std::vector<std::string>& header, std::string_view name,
                           std::string_view where);

// The names quoted and separated by commas: "a", " b", "c".
std::string quoted_list(const std::vector<std::string>& names);

}  // namespace tarven::cli
