#include "cli/grid_command.h"

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

#include "cli/input_file.h"
#include "cli/interrupt.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/summary_table.h"

namespace tarven::cli {
namespace {

void say(const std::string& message) {
  const std::string line = "tarven grid: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// What an earlier, interrupted run of the same grid left in the output: the complete lines, which
// are kept as they are, and the scenarios they cover.
struct Earlier {
  std::string text;  // complete lines, header included
  std::set<std::string> done;
  std::size_t failed = 0;
};

std::variant<Earlier, std::string> earlier_output(const GridSettings& settings,
                                                  const std::string& header) {
  Earlier earlier;
  if (std::string error = read_complete_lines(settings.output, earlier.text); !error.empty())
    return error;
  if (earlier.text.empty()) return earlier;
  if (settings.format == "ndjson") {
    std::size_t from = 0;
    while (from < earlier.text.size()) {
      const std::size_t end = earlier.text.find('\n', from);
      const std::string line = earlier.text.substr(from, end - from);
      from = end + 1;
      std::string id;
      std::string status;
      if (!read_summary_json(line, id, status))
        return settings.output + ": not a line this command writes: " + line;
      earlier.done.insert(id);
      if (status != "ok") ++earlier.failed;
    }
    return earlier;
  }
  // Read with the header this run writes, also when the earlier run wrote none.
  const bool has_header =
      earlier.text.starts_with(header + "\n") || earlier.text.starts_with(header + "\r\n");
  if (!has_header && !settings.no_header)
    return settings.output + ": its first line is not the header of this grid's columns";
  const std::string text = has_header ? earlier.text : header + "\n" + earlier.text;
  const CsvResult<CsvTable> table = read_csv(text);
  if (table.error) return settings.output + ": " + table.error->message;
  std::size_t status_column = 0;
  for (std::size_t c = 0; c < table.value.header.size(); ++c)
    if (table.value.header[c] == "status") status_column = c;
  for (const CsvRow& row : table.value.rows) {
    earlier.done.insert(row.fields[0]);
    if (row.fields[status_column] != "ok") ++earlier.failed;
  }
  return earlier;
}

// One scenario's lines, in the chosen format.
struct Written {
  std::string summary;
  std::string distribution;
  bool ok = false;
  bool cancelled = false;
};

}  // namespace

std::variant<ScenarioTable, std::string> scenarios_of(const CsvTable& table) {
  auto found = scenario_columns(table.header);
  if (auto* error = std::get_if<std::string>(&found)) return *error;
  const ScenarioColumns& columns = std::get<ScenarioColumns>(found);
  ScenarioTable out;
  out.passthrough_names = columns.passthrough_names;
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const CsvRow& row = table.rows[r];
    ScenarioInput s;
    auto field = [&](std::size_t c) -> std::string {
      return c < row.fields.size() ? row.fields[c] : std::string();
    };
    s.id = columns.id && !field(*columns.id).empty() ? field(*columns.id) : std::to_string(r + 1);
    for (const std::size_t c : columns.passthrough) s.passthrough.push_back(field(c));
    for (std::size_t f = 0; f < kInputColumns.size(); ++f)
      if (columns.fields[f]) s.fields[f] = field(*columns.fields[f]);
    s.fault = row.fault;
    out.scenarios.push_back(std::move(s));
  }
  return out;
}

std::pair<std::size_t, std::size_t> shard_rows(std::size_t rows, int k, int n) {
  const auto kk = static_cast<std::size_t>(k);
  const auto nn = static_cast<std::size_t>(n);
  return {(kk - 1) * rows / nn, kk * rows / nn};
}

int run_grid(const GridSettings& settings) {
  // The scenarios.
  std::string text;
  if (std::string error = read_whole(settings.input, text); !error.empty()) {
    say(error);
    return kExitUsage;
  }
  const CsvResult<CsvTable> table = read_csv(text, BadRecords::kKeep);
  if (table.error) {
    say(input_name(settings.input) + ": " + table.error->message);
    return kExitUsage;
  }
  auto read = scenarios_of(table.value);
  if (auto* error = std::get_if<std::string>(&read)) {
    say(input_name(settings.input) + ": " + *error);
    return kExitUsage;
  }
  ScenarioTable scenarios = std::move(std::get<ScenarioTable>(read));
  auto laid_out = summary_layout(scenarios.passthrough_names, settings.questions);
  if (auto* error = std::get_if<std::string>(&laid_out)) {
    say(*error);
    return kExitUsage;
  }
  const SummaryLayout layout = std::get<SummaryLayout>(laid_out);
  if (settings.check_header) {
    if (std::string refused = settings.check_header(summary_header(layout)); !refused.empty()) {
      say(refused);
      return kExitUsage;
    }
  }
  const std::string header = csv_record(summary_header(layout));

  std::size_t first = 0;
  std::size_t end = scenarios.scenarios.size();
  if (settings.shard)
    std::tie(first, end) = shard_rows(end, settings.shard->first, settings.shard->second);

  Earlier earlier;
  if (settings.resume) {
    auto found = earlier_output(settings, header);
    if (auto* error = std::get_if<std::string>(&found)) {
      say(*error);
      return kExitUsage;
    }
    earlier = std::move(std::get<Earlier>(found));
  }
  std::vector<std::size_t> todo;
  for (std::size_t r = first; r < end; ++r)
    if (!earlier.done.contains(scenarios.scenarios[r].id)) todo.push_back(r);

  // The files, whole or not at all.
  OutputFile output;
  OutputFile distribution;
  std::string write_error = output.open(settings.output);
  if (write_error.empty() && !settings.distribution.empty())
    write_error = distribution.open(settings.distribution);
  if (write_error.empty()) {
    if (!earlier.text.empty())
      write_error = output.write(earlier.text);
    else if (!settings.no_header && settings.format == "csv")
      write_error = output.write(header + "\n");
  }
  if (write_error.empty() && !settings.distribution.empty()) {
    std::string kept;
    if (settings.resume) write_error = read_complete_lines(settings.distribution, kept);
    if (write_error.empty()) {
      if (!kept.empty())
        write_error = distribution.write(kept);
      else if (!settings.no_header)
        write_error = distribution.write(std::string(kDistributionHeader) + "\n");
    }
  }
  if (!write_error.empty()) {
    say(write_error);
    return kExitOutput;
  }

  catch_interruptions();
  const int jobs = settings.jobs > 0
                       ? settings.jobs
                       : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  std::vector<std::optional<Written>> results(todo.size());
  std::mutex mutex;
  std::condition_variable ready;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::atomic<bool> cancel{false};  // the evaluations under way: set on an interruption

  auto work = [&] {
    for (;;) {
      if (stop.load() || interrupted().load()) return;
      const std::size_t n = next.fetch_add(1);
      if (n >= todo.size()) return;
      const ScenarioInput& input = scenarios.scenarios[todo[n]];
      const ScenarioOutcome outcome = settings.evaluate(input, settings.questions, &cancel);
      Written w;
      w.ok = outcome.ok();
      w.cancelled = outcome.analysis.status == AnalysisStatus::kCancelled;
      if (settings.format == "ndjson")
        w.summary = summary_json(layout, input, outcome) + "\n";
      else
        w.summary = csv_record(summary_row(layout, input, outcome)) + "\n";
      if (!settings.distribution.empty()) w.distribution = distribution_lines(input, outcome);
      {
        std::lock_guard lock(mutex);
        results[n] = std::move(w);
      }
      ready.notify_all();
    }
  };
  std::vector<std::thread> workers;
  const std::size_t threads =
      std::min(static_cast<std::size_t>(jobs), std::max<std::size_t>(todo.size(), 1));
  for (std::size_t t = 0; t < threads; ++t) workers.emplace_back(work);

  Progress progress(todo.size(), settings.quiet);
  std::size_t written = 0;
  std::size_t failed = 0;
  bool interrupted_run = false;
  bool failed_fast = false;
  for (; written < todo.size(); ++written) {
    Written w;
    {
      std::unique_lock lock(mutex);
      while (!results[written] && !interrupted().load())
        ready.wait_for(lock, std::chrono::milliseconds(100));
      if (!results[written]) {
        interrupted_run = true;
        break;
      }
      w = std::move(*results[written]);
      results[written].reset();
    }
    if (w.cancelled) {
      interrupted_run = true;
      break;
    }
    write_error = output.write(w.summary);
    if (write_error.empty() && !settings.distribution.empty())
      write_error = distribution.write(w.distribution);
    if (!write_error.empty()) break;
    if (!w.ok) ++failed;
    progress.update(written + 1, failed);
    if (!w.ok && settings.fail_fast) {
      ++written;
      failed_fast = true;
      break;
    }
  }
  if (interrupted().load()) interrupted_run = true;
  stop.store(true);
  if (interrupted_run || failed_fast || !write_error.empty()) cancel.store(true);
  for (std::thread& t : workers) t.join();
  progress.finish(written, failed);

  if (!write_error.empty()) {
    say(write_error);
    return kExitOutput;
  }
  // What is complete replaces the files, also after an interruption, so that --resume goes on.
  write_error = output.commit();
  if (write_error.empty() && !settings.distribution.empty()) write_error = distribution.commit();
  if (!write_error.empty()) {
    say(write_error);
    return kExitOutput;
  }
  if (interrupted_run) {
    say("interrupted after " + std::to_string(written) + " of " + std::to_string(todo.size()) +
        " scenarios; --resume goes on from there");
    const int signal = interrupting_signal();
    return 128 + (signal != 0 ? signal : 2);
  }
  return failed + earlier.failed > 0 ? kExitSomeNotOk : kExitOk;
}

}  // namespace tarven::cli
