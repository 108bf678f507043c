#include "summary_columns.h"

#include <cstdint>
#include <limits>

#include "cpp11/doubles.hpp"
#include "cpp11/integers.hpp"
#include "cpp11/strings.hpp"

namespace tarven_r {

SummaryColumns::SummaryColumns(const tarven::Questions& questions, tarven::Engine engine,
                               std::size_t rows) {
  for (const tarven::SummaryField& f : tarven::refused_summary_fields(questions, engine, "")) {
    Column c{f.name, f.kind, {}, {}, {}, {}};
    switch (f.kind) {
      case tarven::FieldKind::kNumber:
        c.numbers.assign(rows, NA_REAL);
        break;
      case tarven::FieldKind::kCount:
        c.counts.assign(rows, NA_INTEGER);
        break;
      case tarven::FieldKind::kText:
        c.texts.assign(rows, std::string());
        c.text_given.assign(rows, 0);
        break;
    }
    columns_.push_back(std::move(c));
  }
}

void SummaryColumns::set(std::size_t row, const std::vector<tarven::SummaryField>& fields) {
  std::size_t from = 0;  // the fields come in column order: search on from the last match
  for (const tarven::SummaryField& f : fields) {
    std::size_t c = from;
    while (c < columns_.size() && columns_[c].name != f.name) ++c;
    if (c == columns_.size()) continue;
    from = c + 1;
    Column& column = columns_[c];
    if (const auto* number = std::get_if<double>(&f.value)) {
      if (column.kind == tarven::FieldKind::kNumber) column.numbers[row] = *number;
    } else if (const auto* count = std::get_if<std::int64_t>(&f.value)) {
      if (column.kind == tarven::FieldKind::kCount && *count <= std::numeric_limits<int>::max() &&
          *count > std::numeric_limits<int>::min())
        column.counts[row] = static_cast<int>(*count);
    } else if (const auto* text = std::get_if<std::string>(&f.value)) {
      if (column.kind == tarven::FieldKind::kText) {
        column.texts[row] = *text;
        column.text_given[row] = 1;
      }
    }
  }
}

cpp11::writable::list SummaryColumns::to_r() const {
  cpp11::writable::list out(static_cast<R_xlen_t>(columns_.size()));
  cpp11::writable::strings names(static_cast<R_xlen_t>(columns_.size()));
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    const Column& column = columns_[c];
    const auto i = static_cast<R_xlen_t>(c);
    names[i] = column.name;
    switch (column.kind) {
      case tarven::FieldKind::kNumber:
        out[i] = cpp11::writable::doubles(column.numbers.begin(), column.numbers.end());
        break;
      case tarven::FieldKind::kCount:
        out[i] = cpp11::writable::integers(column.counts.begin(), column.counts.end());
        break;
      case tarven::FieldKind::kText: {
        cpp11::writable::strings texts(static_cast<R_xlen_t>(column.texts.size()));
        for (std::size_t r = 0; r < column.texts.size(); ++r)
          texts[static_cast<R_xlen_t>(r)] =
              column.text_given[r] ? cpp11::r_string(column.texts[r]) : cpp11::r_string(NA_STRING);
        out[i] = texts;
        break;
      }
    }
  }
  out.names() = names;
  return out;
}

}  // namespace tarven_r
