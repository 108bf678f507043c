#include "cli/resume.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/input_file.h"
#include "cli/line_reader.h"

namespace tarven::cli {
namespace {

using Json = nlohmann::ordered_json;

// The statuses a written row may have: every one but the interruption, which is never written.
constexpr AnalysisStatus kWritten[] = {AnalysisStatus::kOk, AnalysisStatus::kInvalidQuestions,
                                       AnalysisStatus::kNumericalError, AnalysisStatus::kAbandoned,
                                       AnalysisStatus::kOutOfMemory};

bool is_status_word(std::string_view word) {
  for (const AnalysisStatus s : kWritten)
    if (word == status_name(s)) return true;
  return false;
}

// The scenario as this run would write it before evaluating it: everything that says what it is
// made of, nothing of its results.
ScenarioOutcome unevaluated(const ScenarioInput& input, const CommandQuestions& questions) {
  ScenarioOutcome outcome;
  outcome.analysis.result.engine = questions.engine;
  auto checked = problem_of(input);
  if (auto* problem = std::get_if<Problem>(&checked)) outcome.problem = *problem;
  // A status that is never written: only the columns before it are compared.
  outcome.analysis.status = AnalysisStatus::kCancelled;
  return outcome;
}

// An open earlier file, read line by line.
class Earlier {
 public:
  std::string open(const std::string& path) {
    path_ = path;
    if (path.empty()) return {};
    if (std::string error = open_input(path, fd_); !error.empty()) return error;
    lines_ = std::make_unique<LineReader>(fd_, kMaxLineBytes);
    return {};
  }
  ~Earlier() {
    lines_.reset();
    if (fd_ >= 0) ::close(fd_);
  }

  // The next complete line (a last line without its line feed was cut off: it does not count);
  // false at the end. A read error or an overlong line is an error text.
  bool next(std::string& error) {
    if (!lines_) return false;
    switch (lines_->next()) {
      case LineReader::Got::kLine:
        return !lines_->line_end().empty() && lines_->line_end() != "\r";
      case LineReader::Got::kTooLong:
        if (lines_->line_end().empty()) return false;
        error = where() + "longer than any line this command writes";
        return false;
      case LineReader::Got::kError:
        error = path_ + ": cannot be read (" + std::strerror(lines_->error()) + ")";
        return false;
      case LineReader::Got::kEnd:
        return false;
    }
    return false;
  }
  std::string_view line() const { return lines_->line(); }
  std::string_view line_end() const { return lines_->line_end(); }
  std::string where() const {
    return path_ + ": line " + std::to_string(lines_ ? lines_->number() : 0) + ": ";
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  std::unique_ptr<LineReader> lines_;
};

std::string difference(std::string_view name, std::string_view there, std::string_view here) {
  return std::string(name) + " (" + std::string(there) + " there, " + std::string(here) + " here)";
}

std::string refusal(const std::string& where, const std::string& id,
                    const std::vector<std::string>& differences) {
  std::string text = where + "scenario \"" + id + "\" was made of other input or settings: ";
  for (std::size_t k = 0; k < differences.size(); ++k) text += (k > 0 ? ", " : "") + differences[k];
  return text + "; --resume keeps only rows this grid would write with these options";
}

// The kept rows' distribution lines, walked along with them.
class DistributionRows {
 public:
  DistributionRows(Earlier& file, bool no_header) : file_(file), no_header_(no_header) {}

  // The header, kept when there is one. An error text.
  std::string start(OutputFile& out, Kept& kept) {
    std::string error;
    if (!advance(error)) return error;
    if (have_) {
      kept.distribution_started = true;
      kept.distribution_line_end = std::string(file_.line_end());
    }
    if (have_ && pending_ == kDistributionHeader) {
      if (std::string e = out.write(pending_ + kept.distribution_line_end); !e.empty())
        return "write: " + e;
      return advance(error) ? std::string() : error;
    }
    if (!no_header_ && have_)
      return file_.where() + "its first line is not the distribution header";
    return {};
  }

  // Copies the rows of scenario `id`, which must come next. An error text.
  std::string keep(const std::string& id, OutputFile& out, const std::string& summary_file) {
    std::string error;
    if (!have_ || pending_id_ != id) {
      if (!have_) {
        return (file_.path().empty() ? "--distribution " + name_ : file_.path()) +
               ": no distribution rows of the scenario \"" + id + "\" kept from " + summary_file +
               "; resume without --distribution, or start afresh";
      }
      return file_.where() + "rows of scenario \"" + pending_id_ + "\" where the kept scenario \"" +
             id + "\" comes next";
    }
    while (have_ && pending_id_ == id) {
      pending_ += file_.line_end();
      if (std::string e = out.write(pending_); !e.empty()) return "write: " + e;
      if (!advance(error)) return error;
    }
    return {};
  }
  void name(const std::string& target) { name_ = target; }

 private:
  // Reads the next line into pending_; false only on an error (in `error`).
  bool advance(std::string& error) {
    have_ = file_.next(error);
    if (!error.empty()) return false;
    if (!have_) return true;
    pending_ = std::string(file_.line());
    if (auto bad = read_record(pending_, 0, fields_); bad || fields_.empty()) {
      error = file_.where() + "not a line of a distribution file";
      return false;
    }
    pending_id_ = fields_[0];
    return true;
  }

  Earlier& file_;
  bool no_header_;
  bool have_ = false;
  std::string pending_;
  std::string pending_id_;
  std::string name_;
  std::vector<std::string> fields_;
};

// The differences of a kept CSV row from what this run would write of its scenario.
std::vector<std::string> csv_differences(const std::vector<std::string>& names,
                                         const std::vector<std::string>& kept,
                                         const std::vector<std::string>& expected) {
  std::vector<std::string> found;
  if (kept.size() != names.size() || expected.size() != names.size()) {
    found.emplace_back("the columns");
    return found;
  }
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (names[c] == "status") {
      // From here on the results, but for the version that made them.
      for (std::size_t v = c; v < names.size(); ++v)
        if (names[v] == "tarven_version" && kept[v] != expected[v])
          found.push_back(difference(names[v], kept[v], expected[v]));
      break;
    }
    if (kept[c] != expected[c]) found.push_back(difference(names[c], kept[c], expected[c]));
  }
  return found;
}

std::vector<std::string> json_differences(const Json& kept, const Json& expected) {
  std::vector<std::string> found;
  for (const auto& [key, value] : expected.items()) {
    if (key == "status" || key == "error") continue;
    if (key == "summary") {
      for (const char* name : {"alpha", "tarven_version"}) {
        if (value.contains(name) && kept[key][name] != value[name])
          found.push_back(difference(name, kept[key][name].dump(), value[name].dump()));
      }
      continue;
    }
    if (kept[key] == value) continue;
    if (value.is_object() && kept[key].is_object()) {
      for (const auto& [inner, v] : value.items())
        if (!kept[key].contains(inner) || kept[key][inner] != v)
          found.push_back(difference(inner, kept[key].value(inner, Json()).dump(), v.dump()));
    } else {
      found.push_back(difference(key, kept[key].dump(), value.dump()));
    }
  }
  return found;
}

bool same_keys(const Json& a, const Json& b) {
  if (!a.is_object() || !b.is_object() || a.size() != b.size()) return false;
  auto i = a.begin();
  for (auto j = b.begin(); j != b.end(); ++i, ++j)
    if (i.key() != j.key()) return false;
  return true;
}

}  // namespace

std::string earlier_rows_file(const std::string& target) {
  std::vector<std::string> candidates = common::ReplacingFile::leftovers(target);
  const std::string partial = target + std::string(kPartialSuffix);
  struct stat newest {};
  std::string chosen;
  for (const std::string& file : candidates) {
    if (struct stat st{}; ::stat(file.c_str(), &st) == 0) {
      chosen = file;
      newest = st;
      break;  // leftovers come newest first
    }
  }
  if (struct stat st{}; ::stat(partial.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    const auto later = [](const struct stat& a, const struct stat& b) {
      return a.st_mtim.tv_sec != b.st_mtim.tv_sec ? a.st_mtim.tv_sec > b.st_mtim.tv_sec
                                                  : a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
    };
    if (chosen.empty() || later(st, newest)) chosen = partial;
  }
  if (!chosen.empty()) return chosen;
  if (struct stat st{}; ::stat(target.c_str(), &st) == 0) return target;
  return {};
}

std::variant<Kept, std::string> keep_earlier_rows(const GridSettings& settings,
                                                  const SummaryLayout& layout,
                                                  ScenarioFile& scenarios, std::size_t rows,
                                                  OutputFile& output, OutputFile& distribution) {
  Kept kept;
  const bool ndjson = settings.format == "ndjson";
  const std::vector<std::string> names = summary_header(layout);
  const std::string header = csv_record(names);

  Earlier summary;
  if (std::string e = summary.open(earlier_rows_file(settings.output)); !e.empty()) return e;
  Earlier earlier_distribution;
  std::optional<DistributionRows> splits;
  std::string error;
  bool have = summary.next(error);
  if (!error.empty()) return error;
  if (!settings.distribution.empty()) {
    if (std::string e = earlier_distribution.open(earlier_rows_file(settings.distribution));
        !e.empty())
      return e;
    splits.emplace(earlier_distribution, settings.no_header);
    splits->name(settings.distribution);
    if (std::string e = splits->start(distribution, kept); !e.empty()) return e;
  }
  if (!have) return kept;
  kept.line_end = std::string(summary.line_end());

  if (!ndjson) {
    if (summary.line() == header) {
      kept.header = true;
      if (std::string e = output.write(header + kept.line_end); !e.empty()) return "write: " + e;
      have = summary.next(error);
    } else if (!settings.no_header) {
      return summary.where() +
             "its first line is not the header of this grid's columns (they follow from the "
             "scenarios file, the thresholds and the quantiles)";
    }
  }

  std::vector<std::string> fields;
  ScenarioInput input;
  for (; have; have = summary.next(error)) {
    const std::string where = summary.where();
    std::string id;
    std::string status;
    std::vector<std::string> differences;
    if (ndjson) {
      const Json line = Json::parse(summary.line(), nullptr, false);
      if (line.is_discarded() || !line.is_object() || !line.contains("scenario_id") ||
          !line["scenario_id"].is_string() || !line.contains("status") ||
          !line["status"].is_string())
        return where + "not a line this command writes";
      id = line["scenario_id"].get<std::string>();
      status = line["status"].get<std::string>();
      if (kept.rows == rows || !scenarios.next(input)) break;
      if (id == input.id) {
        const Json expected = Json::parse(
            summary_json(layout, input, unevaluated(input, settings.questions)), nullptr, false);
        if (!same_keys(line, expected) || !same_keys(line["summary"], expected["summary"]))
          return where + "its names are not those this grid writes with these options";
        differences = json_differences(line, expected);
      }
    } else {
      if (auto bad = read_record(summary.line(), 0, fields); bad || fields.size() != names.size())
        return where + "not a row of this grid's columns";
      id = fields[0];
      for (std::size_t c = 0; c < names.size(); ++c)
        if (names[c] == "status") status = fields[c];
      if (kept.rows == rows || !scenarios.next(input)) break;
      if (id == input.id) {
        differences = csv_differences(
            names, fields, summary_row(layout, input, unevaluated(input, settings.questions)));
      }
    }
    if (id != input.id) {
      if (!scenarios.has_id(id)) return where + "scenario \"" + id + "\" is not in the grid";
      return where + "scenario \"" + id + "\" where the grid's next scenario is \"" + input.id +
             "\" (an earlier run writes the grid's rows in their order)";
    }
    if (!is_status_word(status)) return where + "\"" + status + "\" is no status of a scenario";
    const bool valid_here = std::holds_alternative<Problem>(problem_of(input));
    if ((status == "invalid") == valid_here)
      differences.push_back(difference("status", status, valid_here ? "valid input" : "invalid"));
    if (!differences.empty()) return refusal(where, id, differences);

    if (splits && status == "ok") {
      if (std::string e = splits->keep(id, distribution, summary.path()); !e.empty()) return e;
    }
    if (std::string e = output.write(std::string(summary.line()) + std::string(summary.line_end()));
        !e.empty())
      return "write: " + e;
    ++kept.rows;
    if (status != "ok") ++kept.failed;
  }
  if (!error.empty()) return error;
  if (have) {
    // A row beyond this grid's (or shard's) rows, or an input that ended early.
    if (!scenarios.error().empty()) return scenarios.error();
    return summary.where() + "a row beyond the " + std::to_string(rows) + " rows of this " +
           (settings.shard ? "shard" : "grid");
  }
  return kept;
}

}  // namespace tarven::cli
