#pragma once

// The scenarios of a grid, read from their file twice: once whole, to check its header and that
// every scenario_id is unique and to count its rows, then row by row as the scenarios are
// evaluated. Only the row at hand is held, and 8 bytes per row for the check of the ids, whatever
// the file's length; a pipe is copied to a file without a name on the first reading, for the
// second. Text that is not UTF-8 (ids, labels, column names, fields) is made so as it is read,
// each offending byte replaced by U+FFFD, so that every output shows the same text; ids are
// compared after that replacement.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/csv.h"
#include "cli/line_reader.h"
#include "cli/scenario.h"

namespace tarven::cli {

class ScenarioFile {
 public:
  ScenarioFile() = default;
  ~ScenarioFile();
  ScenarioFile(const ScenarioFile&) = delete;
  ScenarioFile& operator=(const ScenarioFile&) = delete;

  // Opens and checks the file ("-": the standard input): readable, a header with the columns
  // that state scenarios, no scenario_id twice. An error text naming the file (and the line)
  // otherwise. Then positioned at row 1.
  std::string open(const std::string& path);

  std::size_t rows() const { return rows_; }
  const std::vector<std::string>& passthrough_names() const { return passthrough_names_; }
  // Whether a row has this id (as written).
  bool has_id(const std::string& id) const;

  // The next row as a scenario; false after the last one or when the file cannot be read any
  // more (then error() says why).
  bool next(ScenarioInput& scenario);
  const std::string& error() const { return error_; }

 private:
  // Reads from the first row again.
  std::string restart();
  bool read_row(CsvRow& row);
  std::string id_of(const CsvRow& row, std::size_t number) const;
  std::string duplicate_ids();

  std::string path_;
  int fd_ = -1;
  int copy_ = -1;  // what was read of a pipe
  std::unique_ptr<LineReader> lines_;
  std::unique_ptr<CsvReader> reader_;
  std::array<std::optional<std::size_t>, kInputColumns.size()> at_{};  // the fields' columns
  std::optional<std::size_t> id_column_;
  std::vector<std::size_t> passthrough_;
  std::vector<std::string> passthrough_names_;
  std::vector<std::uint64_t> id_hashes_;  // sorted; empty without an id column
  std::size_t rows_ = 0;
  std::size_t read_ = 0;  // rows read since the last restart
  CsvRow row_;
  std::string error_;
};

}  // namespace tarven::cli
