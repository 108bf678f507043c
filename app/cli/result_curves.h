#pragma once

// Curves across a grid's results (`tarven plot`, `grid --html`): one line per value of a group
// column, panels per value of one or two facet columns, the rows picked by --where. A line only
// ever joins rows that differ in x alone: rows that share x, group and facets but differ in
// another input column would draw a zigzag between scenarios, and are refused with the columns
// and values that differ.

#include <string>
#include <vector>

#include "cli/csv.h"

namespace tarven::cli {

struct CurveRequest {
  std::string x;
  std::string y;                    // "" for the first p_ai_lt_ column
  std::string group;                // "" for one line
  std::vector<std::string> facets;  // none; one (a row of panels); two (rows and columns)
  std::vector<std::string> where;   // COLUMN=VALUE each; values of one column are alternatives
  std::string title;
};

// What is wrong with the request before any row is read: a column the header lacks (with its near
// miss), a --where that is not COLUMN=VALUE, more than two facets, a column used twice, no y
// column. Empty when there is nothing.
std::string check_request(const std::vector<std::string>& header, const CurveRequest& request);

// The column drawn on the y axis: request.y, or the header's first p_ai_lt_ column ("" if none).
std::string y_column(const std::vector<std::string>& header, const CurveRequest& request);

struct CurveResult {
  std::string svg;
  std::string error;  // every error is the user's to fix: a usage error
};

// Rows whose status is not ok, or whose x or y is NA, are left out and counted in a note. An error
// when the request is refused, a --where value matches no row, a value of x or y is not a number,
// or rows to be joined differ in another input column.
CurveResult curves_of(const CsvTable& results, const CurveRequest& request);

}  // namespace tarven::cli
