#pragma once

// The grid command's comma-separated tables: a small reader and writer of our own.
//
// What the reader takes: a header row, then one record per line; fields separated by commas;
// LF or CR LF line ends (a last line without one counts); lines that are empty or hold only
// blanks and tabs are skipped; a UTF-8 byte-order mark before the header is dropped. A field that
// starts with '"' is quoted: it runs to the next lone '"', "" inside stands for one '"', and commas
// are ordinary characters there; only a comma or the line end may follow the closing quote.
// A quoted field may not span lines: the reader refuses a line break inside quotes, so every
// record is one line and every error can name it. Unquoted fields are taken as they are, blanks
// included; a '"' inside one is refused. Every record must have as many fields as the header, and
// the header's non-empty names must differ; a first line without a single name (numbers only) is
// taken for data, not a header. A line longer than kMaxLineBytes or with more than kMaxFields
// fields is refused without being held whole: reading takes memory bounded by those limits and
// time linear in the input.
//
// Nothing here prints or throws; errors come back with the 1-based line they concern.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarven::cli {

class LineReader;

inline constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;  // 1 MiB
inline constexpr std::size_t kMaxFields = 10'000;

struct CsvError {
  std::size_t line = 0;  // 1-based line of the input
  std::string message;   // starts with "line N: "
};

// A value, or the error that stopped it.
template <class T>
struct CsvResult {
  T value{};
  std::optional<CsvError> error;
};

struct CsvRow {
  std::size_t line = 0;  // where the record stands in the input
  std::vector<std::string> fields;
  // Only when bad records are kept: why this record could not be read as the header says (then
  // `fields` holds what could be split of it, or nothing).
  std::optional<std::string> fault;
};

struct CsvTable {
  std::size_t header_line = 0;
  std::vector<std::string> header;
  std::vector<CsvRow> rows;
};

enum class BadRecords {
  kRefuse,  // the first record that cannot be read ends the reading with its error
  kKeep,    // such a record is kept with its fault, so that a caller can report it in its place
};

// The records of a LineReader one at a time, so that a file of any length is read in bounded
// memory. The header is always read strictly: without a readable header there is no table.
class CsvReader {
 public:
  explicit CsvReader(LineReader& lines) : lines_(lines) {}

  // Reads the header (the first line that is not blank); the error when there is none.
  std::optional<CsvError> read_header();
  const std::vector<std::string>& header() const { return header_; }
  std::size_t header_line() const { return header_line_; }

  // The next record into `row` (whose storage is reused); false at the end of the input or at an
  // error, which error() then holds. Under kRefuse a record that cannot be read is such an error;
  // under kKeep it comes back with its fault.
  bool next(CsvRow& row, BadRecords bad);
  const std::optional<CsvError>& error() const { return error_; }

  // The line of the record last read, as it stands in the input, and its line end.
  std::string_view line() const;
  std::string_view line_end() const;

 private:
  LineReader& lines_;
  std::vector<std::string> header_;
  std::size_t header_line_ = 0;
  std::optional<CsvError> error_;
};

// One line (without its line end) split into fields as the reader splits a record; the error names
// `line_number` and the field.
std::optional<CsvError> read_record(std::string_view line, std::size_t line_number,
                                    std::vector<std::string>& fields);

// A whole text read with a CsvReader.
CsvResult<CsvTable> read_csv(std::string_view text, BadRecords bad = BadRecords::kRefuse);

// Index of the header column called `name`; an error naming it when there is none.
CsvResult<std::size_t> find_column(const CsvTable& table, std::string_view name);

// Number text as the command line reads it everywhere (scenario fields, result columns): the whole
// text, as std::from_chars reads it (optional '-', digits, point, exponent; no blanks, no '+'),
// finite. A number beyond the range of a double (1e400) is out of range, with the infinity of its
// sign as the value; one too small to be told from zero (1e-400) reads as zero.
enum class NumberFault { kNone, kNotANumber, kOutOfRange };
struct ParsedNumber {
  double value = 0.0;
  NumberFault fault = NumberFault::kNone;
};
ParsedNumber parse_number(std::string_view text);

// The field in column `column` of row `row` read as a number by parse_number. The error names the
// line, the column and the text.
CsvResult<double> number_field(const CsvTable& table, std::size_t row, std::size_t column);
// The same for a whole number (no point, no exponent) within 64 bits.
CsvResult<std::int64_t> integer_field(const CsvTable& table, std::size_t row, std::size_t column);

// Text that reads back as `field`: quoted, with '"' doubled, when it holds a comma, a quote, a
// CR or LF, starts or ends with a blank or tab, or starts with a byte-order mark; as it is
// otherwise. Bytes that are not UTF-8 are replaced, each by U+FFFD, so that what is written is. A
// field with a line break is written for other programs' sake, but this reader refuses it.
std::string csv_field(std::string_view field);

// One record without its line end. A record of one empty field is written as "" so that it is not
// taken for a blank line.
std::string csv_record(std::span<const std::string> fields);

// Shortest text that reads back as the same double ("0.1", "1e-05"); "NA" for a missing value;
// "NaN", "Inf" and "-Inf" for the values that have no number text.
std::string format_number(std::optional<double> value);

}  // namespace tarven::cli
