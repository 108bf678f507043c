#include "cli/csv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "cli/line_reader.h"
#include "common/utf8_text.h"

namespace tarven::cli {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

CsvError error_at(std::size_t line, std::string_view what) {
  return {line, "line " + std::to_string(line) + ": " + std::string(what)};
}

bool blank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::string ordinal(std::size_t field) {
  return "field " + std::to_string(field);
}

// Splits one line into fields; an error names the line and the field. More than kMaxFields fields
// is an error as soon as the next one starts, so that no more of them is held.
std::optional<CsvError> split_record(std::string_view line, std::size_t line_number,
                                     std::vector<std::string>& fields) {
  std::size_t count = 0;
  std::size_t i = 0;
  while (true) {
    if (count == kMaxFields) {
      fields.resize(count);
      return error_at(line_number,
                      "more than " + std::to_string(kMaxFields) + " fields in one line");
    }
    if (count == fields.size()) fields.emplace_back();
    std::string& field = fields[count];
    field.clear();
    if (i < line.size() && line[i] == '"') {
      for (++i;; ++i) {
        if (i >= line.size()) {
          fields.resize(count);
          return error_at(line_number, ordinal(count + 1) +
                                           ": the quote is not closed on this line "
                                           "(line breaks inside quotes are not supported)");
        }
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        // The run up to the next quote at once.
        const std::size_t quote = std::min(line.find('"', i), line.size());
        field.append(line, i, quote - i);
        i = quote - 1;
      }
      if (i < line.size() && line[i] != ',') {
        fields.resize(count);
        return error_at(line_number, ordinal(count + 1) +
                                         ": text after the closing quote (write a quote "
                                         "inside a quoted field as \"\")");
      }
    } else {
      const std::size_t end = std::min(line.find(',', i), line.size());
      const std::string_view text = line.substr(i, end - i);
      if (text.find('"') != std::string_view::npos) {
        fields.resize(count);
        return error_at(line_number, ordinal(count + 1) +
                                         ": a quote inside an unquoted field (quote the "
                                         "whole field and write the quote as \"\")");
      }
      if (text.find('\r') != std::string_view::npos) {
        fields.resize(count);
        return error_at(line_number, ordinal(count + 1) +
                                         ": a carriage return inside the line (line ends "
                                         "must be LF or CR LF)");
      }
      field.assign(text);
      i = end;
    }
    ++count;
    if (i >= line.size()) {
      fields.resize(count);
      return std::nullopt;
    }
    ++i;  // the comma; a comma at the very end still opens an empty last field
  }
}

// Whether the field is a number rather than a name: a first line of numbers only is data.
bool is_number(std::string_view field) {
  return parse_number(field).fault != NumberFault::kNotANumber;
}

std::optional<CsvError> check_header(const std::vector<std::string>& header, std::size_t line) {
  if (std::all_of(header.begin(), header.end(),
                  [](const std::string& name) { return name.empty() || is_number(name); })) {
    return error_at(line, "no header row: the first line has no column names");
  }
  std::unordered_set<std::string_view> names;
  names.reserve(header.size());
  for (const std::string& name : header) {
    if (name.empty()) continue;
    if (!names.insert(name).second)
      return error_at(line, "column \"" + name + "\" appears twice in the header");
  }
  return std::nullopt;
}

std::string too_long(const LineReader& lines) {
  return std::to_string(lines.length()) + " bytes, more than the " + std::to_string(kMaxLineBytes) +
         " a line may have";
}

std::string read_failure(int error_number) {
  return std::string("cannot be read: ") + std::strerror(error_number);
}

// The field, or an error, for the number readers.
CsvResult<std::string_view> field_at(const CsvTable& table, std::size_t row, std::size_t column) {
  if (row >= table.rows.size() || column >= table.header.size() ||
      column >= table.rows[row].fields.size()) {
    return {{},
            CsvError{0, "no field at row " + std::to_string(row) + ", column " +
                            std::to_string(column)}};
  }
  return {table.rows[row].fields[column], std::nullopt};
}

CsvError bad_number(const CsvTable& table, std::size_t row, std::size_t column,
                    std::string_view kind) {
  return error_at(table.rows[row].line, "column \"" + table.header[column] + "\": \"" +
                                            table.rows[row].fields[column] + "\" is not " +
                                            std::string(kind));
}

}  // namespace

std::optional<CsvError> CsvReader::read_header() {
  for (;;) {
    const LineReader::Got got = lines_.next();
    if (got == LineReader::Got::kEnd) {
      error_ = error_at(lines_.number() + 1, "no header row");
      return error_;
    }
    if (got == LineReader::Got::kError) {
      error_ = error_at(lines_.number() + 1, read_failure(lines_.error()));
      return error_;
    }
    if (got == LineReader::Got::kTooLong) {
      error_ = error_at(lines_.number(), "the header: " + too_long(lines_));
      return error_;
    }
    std::string_view line = lines_.line();
    if (lines_.offset() == 0 && line.starts_with(kByteOrderMark))
      line.remove_prefix(kByteOrderMark.size());
    if (blank(line)) continue;
    if (auto error = split_record(line, lines_.number(), header_)) {
      if (header_.size() == kMaxFields)
        error = error_at(lines_.number(),
                         "the header has more than " + std::to_string(kMaxFields) + " columns");
      error_ = std::move(error);
      return error_;
    }
    if (auto error = check_header(header_, lines_.number())) {
      error_ = std::move(error);
      return error_;
    }
    header_line_ = lines_.number();
    return std::nullopt;
  }
}

bool CsvReader::next(CsvRow& row, BadRecords bad) {
  if (error_) return false;
  for (;;) {
    const LineReader::Got got = lines_.next();
    if (got == LineReader::Got::kEnd) return false;
    if (got == LineReader::Got::kError) {
      error_ = error_at(lines_.number() + 1, read_failure(lines_.error()));
      return false;
    }
    row.line = lines_.number();
    row.fault.reset();
    std::optional<CsvError> fault;
    if (got == LineReader::Got::kTooLong) {
      row.fields.clear();
      fault = error_at(row.line, too_long(lines_));
    } else {
      if (blank(lines_.line())) continue;
      fault = split_record(lines_.line(), row.line, row.fields);
      if (fault) {
        row.fields.clear();
      } else if (row.fields.size() != header_.size()) {
        fault =
            error_at(row.line, std::to_string(row.fields.size()) + " fields where the header has " +
                                   std::to_string(header_.size()));
      }
    }
    if (!fault) return true;
    if (bad == BadRecords::kRefuse) {
      error_ = std::move(fault);
      return false;
    }
    row.fault = std::move(fault->message);
    return true;
  }
}

std::optional<CsvError> read_record(std::string_view line, std::size_t line_number,
                                    std::vector<std::string>& fields) {
  return split_record(line, line_number, fields);
}

std::string_view CsvReader::line() const {
  return lines_.line();
}

std::string_view CsvReader::line_end() const {
  return lines_.line_end();
}

CsvResult<CsvTable> read_csv(std::string_view text, BadRecords bad) {
  CsvResult<CsvTable> result;
  LineReader lines(text, kMaxLineBytes);
  CsvReader reader(lines);
  if (auto error = reader.read_header()) {
    result.error = std::move(error);
    return result;
  }
  CsvTable& table = result.value;
  table.header = reader.header();
  table.header_line = reader.header_line();
  CsvRow row;
  while (reader.next(row, bad)) table.rows.push_back(row);
  result.error = reader.error();
  return result;
}

CsvResult<std::size_t> find_column(const CsvTable& table, std::string_view name) {
  for (std::size_t i = 0; i < table.header.size(); ++i) {
    if (table.header[i] == name) return {i, std::nullopt};
  }
  return {0, error_at(table.header_line, "no column \"" + std::string(name) + "\" in the header")};
}

ParsedNumber parse_number(std::string_view text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ptr != end || (ec != std::errc{} && ec != std::errc::result_out_of_range))
    return {0.0, NumberFault::kNotANumber};
  if (ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: the place of the first significant digit tells which.
    const bool negative = text.front() == '-';
    const std::string_view digits = text.substr(negative ? 1 : 0);
    const std::size_t e = std::min(digits.find_first_of("eE"), digits.size());
    const std::string_view mantissa = digits.substr(0, e);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    // Decimal exponent of the first significant digit, before the written exponent.
    const long long place = first < point ? static_cast<long long>(point - first) - 1
                                          : -static_cast<long long>(first - point);
    long long exponent = 0;
    if (e < digits.size()) {
      std::string_view written = digits.substr(e + 1);
      const bool down = written.starts_with('-');
      if (down || written.starts_with('+')) written.remove_prefix(1);
      // An exponent too long for 64 bits is far out either way: its sign decides.
      const auto [p, code] =
          std::from_chars(written.data(), written.data() + written.size(), exponent);
      if (code != std::errc{}) exponent = std::numeric_limits<long long>::max() / 2;
      if (down) exponent = -exponent;
    }
    if (place + exponent < 0) return {negative ? -0.0 : 0.0, NumberFault::kNone};
    const double infinity = std::numeric_limits<double>::infinity();
    return {negative ? -infinity : infinity, NumberFault::kOutOfRange};
  }
  if (!std::isfinite(value)) return {0.0, NumberFault::kNotANumber};
  return {value, NumberFault::kNone};
}

CsvResult<double> number_field(const CsvTable& table, std::size_t row, std::size_t column) {
  const auto field = field_at(table, row, column);
  if (field.error) return {0.0, field.error};
  const ParsedNumber number = parse_number(field.value);
  if (number.fault != NumberFault::kNone) return {0.0, bad_number(table, row, column, "a number")};
  return {number.value, std::nullopt};
}

CsvResult<std::int64_t> integer_field(const CsvTable& table, std::size_t row, std::size_t column) {
  const auto field = field_at(table, row, column);
  if (field.error) return {0, field.error};
  const std::string_view text = field.value;
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) {
    return {0, bad_number(table, row, column, "a whole number")};
  }
  return {value, std::nullopt};
}

std::string csv_field(std::string_view given) {
  // Well-formed UTF-8 in every output, repaired byte by byte as the JSON and HTML writers do.
  const std::string repaired = common::valid_utf8(given);
  const std::string_view field = repaired;
  const bool needs_quotes = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                            field.starts_with(' ') || field.starts_with('\t') ||
                            field.ends_with(' ') || field.ends_with('\t') ||
                            field.starts_with(kByteOrderMark);
  if (!needs_quotes) return repaired;
  std::string out = "\"";
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string csv_record(std::span<const std::string> fields) {
  if (fields.size() == 1 && fields[0].empty()) return "\"\"";
  std::string out;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ',';
    out += csv_field(fields[i]);
  }
  return out;
}

std::string format_number(std::optional<double> value) {
  if (!value) return "NA";
  if (std::isnan(*value)) return "NaN";
  if (std::isinf(*value)) return *value > 0 ? "Inf" : "-Inf";
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *value);
  return std::string(buffer, ec == std::errc{} ? end : buffer);
}

}  // namespace tarven::cli
