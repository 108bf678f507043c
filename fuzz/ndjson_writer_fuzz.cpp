// Arbitrary bytes as the text of a scenario (its id, a pass-through column's name and value, the
// six input fields, a refusal's message) on their way into the grid's NDJSON and CSV lines.
// Besides crashes (an exception from the JSON writer ends the run) and sanitizer findings, the
// run stops on a broken promise of the writers: a line that is not UTF-8 or does not parse, or
// text that does not come back as the same repair of what was given, in JSON and in CSV alike.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "cli/csv.h"
#include "cli/scenario.h"
#include "cli/summary_table.h"
#include "common/utf8_text.h"

namespace {

using tarven::common::valid_utf8;
using Json = nlohmann::ordered_json;

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "writer invariant broken: %s\n", what);
  std::abort();
}

void check(bool ok, const char* what) {
  if (!ok) broken(what);
}

const tarven::cli::CommandQuestions& questions() {
  static const tarven::cli::CommandQuestions q = [] {
    tarven::cli::CommandQuestions made;
    made.threads = 1;
    return made;
  }();
  return q;
}

// One scenario evaluated for real, once: its results fill every column of an ok row.
const tarven::cli::ScenarioOutcome& evaluated() {
  static const tarven::cli::ScenarioOutcome outcome = [] {
    tarven::cli::ScenarioInput input;
    input.fields = {"10", "7", "4", "0.5", "0.3", "0.6"};
    return tarven::cli::evaluate_scenario(input, questions(), nullptr);
  }();
  return outcome;
}

bool has_line_break(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool ok_row = (data[0] & 1) != 0;
  // The rest, cut at NUL bytes: id, name, value, six fields, message.
  std::vector<std::string> pieces(10);
  std::size_t piece = 0;
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == 0 && piece + 1 < pieces.size()) {
      ++piece;
    } else {
      pieces[piece] += static_cast<char>(data[i]);
    }
  }
  tarven::cli::ScenarioInput input;
  input.id = pieces[0];
  input.passthrough = {pieces[2]};
  for (std::size_t f = 0; f < 6; ++f) input.fields[f] = pieces[3 + f];
  tarven::cli::ScenarioOutcome outcome;
  if (ok_row) {
    outcome = evaluated();
  } else {
    outcome.analysis.result.engine = questions().engine;
    outcome.analysis.status = tarven::AnalysisStatus::kInvalidQuestions;
    outcome.analysis.message = pieces[9];
  }
  // A pass-through column named like an output column is refused before anything is written.
  const auto laid_out = tarven::cli::summary_layout({pieces[1]}, questions());
  if (!std::holds_alternative<tarven::cli::SummaryLayout>(laid_out)) return 0;
  const auto& layout = std::get<tarven::cli::SummaryLayout>(laid_out);

  const std::string line = tarven::cli::summary_json(layout, input, outcome);
  check(valid_utf8(line) == line, "an NDJSON line that is not UTF-8");
  check(line.find('\n') == std::string::npos, "an NDJSON line that spans lines");
  const Json object = Json::parse(line, nullptr, false);
  check(!object.is_discarded() && object.is_object(), "an NDJSON line that does not parse");
  check(object["scenario_id"] == valid_utf8(input.id), "the id not repaired as in the CSV");
  const std::string name = valid_utf8(pieces[1]);
  const std::vector<std::string> header = tarven::cli::summary_header(layout);
  std::size_t uses = 0;
  for (const std::string& column : header) uses += column == name;
  if (uses == 1 && object["input"].contains(name))
    check(object["input"][name] == valid_utf8(pieces[2]), "a label not repaired as in the CSV");
  if (!ok_row && !pieces[9].empty())
    check(object["error"] == valid_utf8(pieces[9]), "a message not repaired as in the CSV");

  // The CSV row of the same scenario reads back as the same repaired text (this reader refuses
  // line breaks inside fields, which the writer still quotes for other programs).
  const std::string row = tarven::cli::csv_record(tarven::cli::summary_row(layout, input, outcome));
  check(valid_utf8(row) == row, "a CSV row that is not UTF-8");
  bool plain = uses == 1 && !name.empty();
  for (const std::string& p : pieces) plain = plain && !has_line_break(p);
  if (!plain) return 0;
  const auto table = tarven::cli::read_csv(tarven::cli::csv_record(header) + "\n" + row + "\n");
  if (table.error && table.error->message.find("no header row") != std::string::npos) return 0;
  check(!table.error, "a written CSV row does not read");
  check(table.value.rows.size() == 1, "a written CSV row reads as another number of rows");
  const auto& fields = table.value.rows[0].fields;
  check(fields[0] == valid_utf8(input.id), "the CSV id differs from the NDJSON one");
  check(fields[1] == valid_utf8(pieces[2]), "the CSV label differs from the NDJSON one");
  return 0;
}
