#include "cli/scenario_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>

#include "cli/input_file.h"
#include "common/utf8_text.h"

namespace tarven::cli {
namespace {

std::uint64_t hash_of(const std::string& id) {
  return std::hash<std::string>{}(id);
}

}  // namespace

ScenarioFile::~ScenarioFile() {
  reader_.reset();
  lines_.reset();
  if (fd_ >= 0) ::close(fd_);
  if (copy_ >= 0) ::close(copy_);
}

std::string ScenarioFile::open(const std::string& path) {
  path_ = input_name(path);
  if (std::string error = open_input(path, fd_); !error.empty()) return error;
  // A pipe, or the standard input (which may stand anywhere in its file), is kept for a second
  // reading as it is read.
  struct stat st {};
  if (path == "-" || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    copy_ = anonymous_file();
    if (copy_ < 0)
      return path_ + ": cannot keep a copy to read twice (" + std::strerror(errno) + ")";
  }
  lines_ = std::make_unique<LineReader>(fd_, kMaxLineBytes, copy_);
  reader_ = std::make_unique<CsvReader>(*lines_);
  if (auto error = reader_->read_header()) return path_ + ": " + error->message;

  auto found = scenario_columns(reader_->header());
  if (auto* error = std::get_if<std::string>(&found)) return path_ + ": " + *error;
  const ScenarioColumns& columns = std::get<ScenarioColumns>(found);
  at_ = columns.fields;
  id_column_ = columns.id;
  passthrough_ = columns.passthrough;
  for (const std::string& name : columns.passthrough_names)
    passthrough_names_.push_back(common::valid_utf8(name));

  // The whole file once: every row counted, every id's hash kept.
  CsvRow row;
  while (read_row(row)) {
    ++rows_;
    if (id_column_) id_hashes_.push_back(hash_of(id_of(row, rows_)));
  }
  if (!error_.empty()) return error_;
  std::sort(id_hashes_.begin(), id_hashes_.end());
  if (std::string error = duplicate_ids(); !error.empty()) return error;
  return restart();
}

std::string ScenarioFile::restart() {
  reader_.reset();
  lines_.reset();
  const int from = copy_ >= 0 ? copy_ : fd_;
  if (::lseek(from, 0, SEEK_SET) != 0)
    return path_ + ": cannot be read again (" + std::strerror(errno) + ")";
  lines_ = std::make_unique<LineReader>(from, kMaxLineBytes);
  reader_ = std::make_unique<CsvReader>(*lines_);
  if (auto error = reader_->read_header()) return path_ + ": " + error->message;
  read_ = 0;
  return {};
}

bool ScenarioFile::read_row(CsvRow& row) {
  if (reader_->next(row, BadRecords::kKeep)) return true;
  if (reader_->error()) error_ = path_ + ": " + reader_->error()->message;
  return false;
}

std::string ScenarioFile::id_of(const CsvRow& row, std::size_t number) const {
  if (id_column_ && *id_column_ < row.fields.size() && !row.fields[*id_column_].empty())
    return common::valid_utf8(row.fields[*id_column_]);
  return std::to_string(number);
}

bool ScenarioFile::has_id(const std::string& id) const {
  if (!id_column_) {
    // Ids are the row numbers, written without a sign or leading zeros.
    std::size_t number = 0;
    const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), number);
    return ec == std::errc{} && end == id.data() + id.size() && number >= 1 && number <= rows_ &&
           std::to_string(number) == id;
  }
  return std::binary_search(id_hashes_.begin(), id_hashes_.end(), hash_of(id));
}

std::string ScenarioFile::duplicate_ids() {
  std::vector<std::uint64_t> twice;
  for (std::size_t k = 1; k < id_hashes_.size(); ++k) {
    if (id_hashes_[k] == id_hashes_[k - 1] && (twice.empty() || twice.back() != id_hashes_[k]))
      twice.push_back(id_hashes_[k]);
  }
  if (twice.empty()) return {};
  // Equal hashes are almost surely equal ids: a second reading finds the rows and makes sure.
  if (std::string error = restart(); !error.empty()) return error;
  std::vector<std::pair<std::string, std::size_t>> seen;  // ids with a repeated hash, and lines
  CsvRow row;
  for (std::size_t number = 1; read_row(row); ++number) {
    const std::string id = id_of(row, number);
    if (!std::binary_search(twice.begin(), twice.end(), hash_of(id))) continue;
    for (const auto& [earlier, line] : seen) {
      if (earlier == id) {
        return path_ + ": scenario_id \"" + id + "\" appears on lines " + std::to_string(line) +
               " and " + std::to_string(row.line) +
               " (each scenario needs an id of its own: the results and --resume tell scenarios "
               "apart by it)";
      }
    }
    seen.emplace_back(id, row.line);
  }
  return error_;
}

bool ScenarioFile::next(ScenarioInput& scenario) {
  if (read_ >= rows_ || !read_row(row_)) return false;
  ++read_;
  scenario.id = id_of(row_, read_);
  scenario.passthrough.clear();
  auto field = [&](std::size_t c) -> std::string {
    return c < row_.fields.size() ? common::valid_utf8(row_.fields[c]) : std::string();
  };
  for (const std::size_t c : passthrough_) scenario.passthrough.push_back(field(c));
  for (std::size_t f = 0; f < kInputColumns.size(); ++f)
    scenario.fields[f] = at_[f] ? field(*at_[f]) : std::string();
  scenario.fault.reset();
  if (row_.fault) scenario.fault = common::valid_utf8(*row_.fault);
  return true;
}

}  // namespace tarven::cli
