// Arbitrary bytes as a grid command's CSV file. Besides crashes and sanitizer findings, the run
// stops on a broken promise of the reader or writer: a record of the wrong width, lines out of
// order, an error without its line, a failure caused by what follows the line it names, two
// readings of one input that differ, a table that does not read back the same once written (with
// either line end; bytes that are not UTF-8 come back replaced, each by U+FFFD), or a number that
// does not survive its shortest text.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/csv.h"
#include "common/utf8_text.h"

namespace {

using tarven::cli::CsvResult;
using tarven::cli::CsvTable;

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "CSV invariant broken: %s\n", what);
  std::abort();
}

void check(bool ok, const char* what) {
  if (!ok) broken(what);
}

bool same(const CsvResult<CsvTable>& a, const CsvResult<CsvTable>& b) {
  if (a.error.has_value() != b.error.has_value()) return false;
  if (a.error && (a.error->line != b.error->line || a.error->message != b.error->message)) {
    return false;
  }
  if (a.value.header != b.value.header || a.value.rows.size() != b.value.rows.size()) return false;
  for (std::size_t r = 0; r < a.value.rows.size(); ++r) {
    if (a.value.rows[r].fields != b.value.rows[r].fields) return false;
  }
  return true;
}

// The table as the writer repairs its text.
CsvResult<CsvTable> repaired(CsvResult<CsvTable> result) {
  for (auto& name : result.value.header) name = tarven::common::valid_utf8(name);
  for (auto& row : result.value.rows)
    for (auto& field : row.fields) field = tarven::common::valid_utf8(field);
  return result;
}

std::string write_table(const CsvTable& table, std::string_view line_end) {
  std::string text = tarven::cli::csv_record(table.header);
  text += line_end;
  for (const auto& row : table.rows) {
    text += tarven::cli::csv_record(row.fields);
    text += line_end;
  }
  return text;
}

// Where line `line` (1-based) starts in the text.
std::size_t line_start(std::string_view text, std::size_t line) {
  std::size_t pos = 0;
  for (std::size_t l = 1; l < line; ++l) pos = text.find('\n', pos) + 1;
  return pos;
}

void check_numbers(const CsvTable& table) {
  // A field that reads as a number must read back the same from its shortest text.
  for (std::size_t r = 0; r < table.rows.size() && r < 8; ++r) {
    for (std::size_t c = 0; c < table.header.size() && c < 8; ++c) {
      const auto number = tarven::cli::number_field(table, r, c);
      const auto integer = tarven::cli::integer_field(table, r, c);
      check(!number.error || !number.error->message.empty(), "number error without a message");
      if (integer.error) continue;
      check(!number.error, "a whole number that is not a number");
      const double magnitude = std::fabs(static_cast<double>(integer.value));
      check(magnitude > 9007199254740992.0 || number.value == static_cast<double>(integer.value),
            "a whole number read as a different number");
    }
    for (std::size_t c = 0; c < table.header.size() && c < 8; ++c) {
      const auto number = tarven::cli::number_field(table, r, c);
      if (number.error) continue;
      check(std::isfinite(number.value), "a number field that is not finite");
      const std::string again = "v\n" + tarven::cli::format_number(number.value) + "\n";
      const auto reread = tarven::cli::read_csv(again);
      check(!reread.error, "a formatted number does not read");
      const auto value = tarven::cli::number_field(reread.value, 0, 0);
      check(!value.error && std::memcmp(&value.value, &number.value, sizeof(double)) == 0,
            "a number changed through its shortest text");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto first = tarven::cli::read_csv(input);
  check(same(first, tarven::cli::read_csv(input)), "two readings of one input differ");

  std::size_t line_count = 0;
  for (const char c : input) line_count += c == '\n';
  if (!input.empty() && input.back() != '\n') ++line_count;

  if (first.error) {
    const auto& e = first.error;
    check(e->line >= 1 && e->line <= line_count + 1, "error line outside the input");
    check(e->message.starts_with("line " + std::to_string(e->line) + ": "),
          "error message does not start with its line");
    // Nothing after the line an error names may have caused it.
    if (e->line <= line_count) {
      const auto before = tarven::cli::read_csv(input.substr(0, line_start(input, e->line)));
      check(!before.error || before.error->message.ends_with("no header row"),
            "the lines before an error do not read");
    }
    return 0;
  }

  const CsvTable& table = first.value;
  check(table.header_line >= 1 && table.header_line <= line_count, "header line out of range");
  std::size_t previous = table.header_line;
  for (const auto& row : table.rows) {
    check(row.fields.size() == table.header.size(), "a record of the wrong width");
    check(row.line > previous && row.line <= line_count, "record lines out of order");
    previous = row.line;
    for (const auto& field : row.fields)
      check(field.find('\n') == std::string::npos, "LF in field");
  }

  // Two names that differ only in bytes that are not UTF-8 are one name once repaired.
  const auto fixed = repaired(first);
  for (std::size_t i = 0; i < fixed.value.header.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (!fixed.value.header[i].empty() && fixed.value.header[i] == fixed.value.header[j])
        return 0;
  for (const std::string_view line_end : {"\n", "\r\n"}) {
    const std::string written = write_table(table, line_end);
    const auto reread = tarven::cli::read_csv(written);
    check(!reread.error, "a written table does not read");
    check(same(repaired(first), reread), "a written table reads back different");
    check(write_table(reread.value, line_end) == written, "writing is not stable");
  }
  check_numbers(table);
  return 0;
}
