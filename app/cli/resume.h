#pragma once

// grid --resume: the rows an earlier run of the same grid left on its output, checked one by one
// against this grid before any of them is kept, and copied as they are. An earlier run writes the
// grid's rows in their order, so its rows are the first rows of this grid (or shard): each must
// have the id of the grid's row in its place, and every column that says what the row was made of
// (the id, the pass-through and input columns, engine, alpha, the version, the summary columns
// that thresholds and quantiles name) must be what this run would write; otherwise nothing is
// kept and the run is refused, saying what differs. A distribution file is kept along, with
// exactly the rows of the kept scenarios.

#include <cstddef>
#include <string>
#include <variant>

#include "cli/grid_command.h"
#include "cli/output_file.h"
#include "cli/scenario_file.h"
#include "cli/summary_table.h"

namespace tarven::cli {

// The file an earlier run's rows are taken from: the most recently written of the temporary files
// that killed runs on `target` left and target + kPartialSuffix; else `target` itself; "" when
// none of them exists.
std::string earlier_rows_file(const std::string& target);

struct Kept {
  std::size_t rows = 0;               // scenarios kept
  std::size_t failed = 0;             // of them not ok
  bool header = false;                // the header line was kept (and written)
  bool distribution_started = false;  // the earlier distribution file had lines (written as kept)
  std::string line_end = "\n";        // of the output: new lines end as the kept ones do
  std::string distribution_line_end = "\n";
};

// Reads the earlier rows of settings.output (and settings.distribution when given), checks them
// against the next rows of `scenarios` (of which `rows` remain in this grid or shard), and writes
// what is kept to `output` and `distribution`. An error text (the run is refused) naming the file
// and line, or what was kept. A write error is returned as it is, prefixed by "write: ".
std::variant<Kept, std::string> keep_earlier_rows(const GridSettings& settings,
                                                  const SummaryLayout& layout,
                                                  ScenarioFile& scenarios, std::size_t rows,
                                                  OutputFile& output, OutputFile& distribution);

}  // namespace tarven::cli
