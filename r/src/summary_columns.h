#pragma once

// The summary of many scenarios as R columns: the library's summary_fields, one column per field,
// named and typed by the library (counts as integers, numbers as doubles, text as character),
// filled row by row from worker threads and handed to R at the end on R's thread.

#include <cstddef>
#include <string>
#include <vector>

#include "cpp11/list.hpp"
#include "tarven/analysis.h"

namespace tarven_r {

class SummaryColumns {
 public:
  // The columns of `questions` (those of refused_summary_fields, the header of every table), with
  // every value missing.
  SummaryColumns(const tarven::Questions& questions, tarven::Engine engine, std::size_t rows);

  // Stores one row's fields; rows may be set from several threads at once, each row once. Fields
  // are matched to columns by name, so a row that has fewer fields (a refused engine) leaves the
  // rest missing.
  void set(std::size_t row, const std::vector<tarven::SummaryField>& fields);

  // Named list of the columns, NA where a value is missing. On R's thread only.
  cpp11::writable::list to_r() const;

 private:
  struct Column {
    std::string name;
    tarven::FieldKind kind;
    std::vector<double> numbers;     // kNumber
    std::vector<int> counts;         // kCount
    std::vector<std::string> texts;  // kText
    std::vector<char> text_given;    // kText: false where missing (not vector<bool>: rows are
                                     // written from several threads)
  };
  std::vector<Column> columns_;
};

}  // namespace tarven_r
