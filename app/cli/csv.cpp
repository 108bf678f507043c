#include "cli/csv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>
#include <utility>

namespace tarven::cli {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

CsvError error_at(std::size_t line, std::string_view what) {
  return {line, "line " + std::to_string(line) + ": " + std::string(what)};
}

bool blank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// Splits one line into fields; an error names the line and the field.
std::optional<CsvError> split_record(std::string_view line, std::size_t line_number,
                                     std::vector<std::string>& fields) {
  fields.clear();
  std::size_t i = 0;
  while (true) {
    const std::string ordinal = "field " + std::to_string(fields.size() + 1);
    std::string field;
    if (i < line.size() && line[i] == '"') {
      for (++i;; ++i) {
        if (i >= line.size()) {
          return error_at(line_number, ordinal +
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
        field += line[i];
      }
      if (i < line.size() && line[i] != ',') {
        return error_at(line_number, ordinal +
                                         ": text after the closing quote (write a quote "
                                         "inside a quoted field as \"\")");
      }
    } else {
      const std::size_t end = std::min(line.find(',', i), line.size());
      field = line.substr(i, end - i);
      if (field.find('"') != std::string::npos) {
        return error_at(line_number, ordinal +
                                         ": a quote inside an unquoted field (quote the "
                                         "whole field and write the quote as \"\")");
      }
      if (field.find('\r') != std::string::npos) {
        return error_at(line_number, ordinal +
                                         ": a carriage return inside the line (line ends "
                                         "must be LF or CR LF)");
      }
      i = end;
    }
    fields.push_back(std::move(field));
    if (i >= line.size()) return std::nullopt;
    ++i;  // the comma; a comma at the very end still opens an empty last field
  }
}

std::optional<CsvError> check_header(const std::vector<std::string>& header, std::size_t line) {
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (header[i].empty()) continue;
    for (std::size_t j = 0; j < i; ++j) {
      if (header[j] == header[i]) {
        return error_at(line, "column \"" + header[i] + "\" appears twice in the header");
      }
    }
  }
  return std::nullopt;
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

CsvResult<CsvTable> read_csv(std::string_view text, BadRecords bad) {
  CsvResult<CsvTable> result;
  CsvTable& table = result.value;
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());

  bool have_header = false;
  std::size_t line_number = 0;
  std::vector<std::string> fields;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = std::min(text.find('\n', pos), text.size());
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_number;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (blank(line)) continue;
    if (auto error = split_record(line, line_number, fields)) {
      if (have_header && bad == BadRecords::kKeep) {
        table.rows.push_back({line_number, {}, error->message});
        continue;
      }
      result.error = std::move(error);
      return result;
    }
    if (!have_header) {
      if (auto error = check_header(fields, line_number)) {
        result.error = std::move(error);
        return result;
      }
      have_header = true;
      table.header_line = line_number;
      table.header = fields;
      continue;
    }
    if (fields.size() != table.header.size()) {
      CsvError error =
          error_at(line_number, std::to_string(fields.size()) + " fields where the header has " +
                                    std::to_string(table.header.size()));
      if (bad == BadRecords::kKeep) {
        table.rows.push_back({line_number, fields, std::move(error.message)});
        continue;
      }
      result.error = std::move(error);
      return result;
    }
    table.rows.push_back({line_number, fields, std::nullopt});
  }
  if (!have_header) result.error = error_at(line_number + 1, "no header row");
  return result;
}

CsvResult<std::size_t> find_column(const CsvTable& table, std::string_view name) {
  for (std::size_t i = 0; i < table.header.size(); ++i) {
    if (table.header[i] == name) return {i, std::nullopt};
  }
  return {0, error_at(table.header_line, "no column \"" + std::string(name) + "\" in the header")};
}

CsvResult<double> number_field(const CsvTable& table, std::size_t row, std::size_t column) {
  const auto field = field_at(table, row, column);
  if (field.error) return {0.0, field.error};
  const std::string_view text = field.value;
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return {0.0, bad_number(table, row, column, "a number")};
  }
  return {value, std::nullopt};
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

std::string csv_field(std::string_view field) {
  const bool needs_quotes = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                            field.starts_with(' ') || field.starts_with('\t') ||
                            field.ends_with(' ') || field.ends_with('\t') ||
                            field.starts_with(kByteOrderMark);
  if (!needs_quotes) return std::string(field);
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
