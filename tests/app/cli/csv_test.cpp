#include "cli/csv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace tarven::cli {
namespace {

using Fields = std::vector<std::string>;

CsvTable read_ok(std::string_view text) {
  CsvResult<CsvTable> r = read_csv(text);
  EXPECT_FALSE(r.error) << r.error->message;
  return r.value;
}

// The line and message of a read that must fail.
CsvError read_error(std::string_view text) {
  CsvResult<CsvTable> r = read_csv(text);
  EXPECT_TRUE(r.error) << "read without error: " << text;
  return r.error.value_or(CsvError{});
}

// --- records ------------------------------------------------------------------------------------

TEST(CsvRead, QuotedFieldsKeepCommasAndDoubledQuotes) {
  const CsvTable t = read_ok(
      "label,d\n\"Plant A, night shift\",0.5\n\"say \"\"hi\"\"\",1\n"
      "\"\",\"\"\"\"\n");
  ASSERT_EQ(t.rows.size(), 3u);
  EXPECT_EQ(t.rows[0].fields, (Fields{"Plant A, night shift", "0.5"}));
  EXPECT_EQ(t.rows[1].fields, (Fields{"say \"hi\"", "1"}));
  EXPECT_EQ(t.rows[2].fields, (Fields{"", "\""}));
}

TEST(CsvRead, CrLfAndLfLineEndsMixAndTheLastMayBeMissing) {
  const CsvTable t = read_ok("a,b\r\n1,2\n3,4\r\n5,6");
  ASSERT_EQ(t.rows.size(), 3u);
  EXPECT_EQ(t.header, (Fields{"a", "b"}));
  EXPECT_EQ(t.rows[0].fields, (Fields{"1", "2"}));
  EXPECT_EQ(t.rows[2].fields, (Fields{"5", "6"}));
}

TEST(CsvRead, BlankLinesAreSkippedButLinesAreStillCounted) {
  const CsvTable t = read_ok("\na,b\n\n  \t\r\n1,2\n\n");
  EXPECT_EQ(t.header_line, 2u);
  ASSERT_EQ(t.rows.size(), 1u);
  EXPECT_EQ(t.rows[0].line, 5u);
}

TEST(CsvRead, AByteOrderMarkBeforeTheHeaderIsDropped) {
  EXPECT_EQ(read_ok("\xEF\xBB\xBFn_hired,d\n").header, (Fields{"n_hired", "d"}));
}

TEST(CsvRead, EmptyFieldsAtEitherEndCount) {
  const CsvTable t = read_ok("a,b,c\n,,\n1,,\n");
  EXPECT_EQ(t.rows[0].fields, (Fields{"", "", ""}));
  EXPECT_EQ(t.rows[1].fields, (Fields{"1", "", ""}));
}

TEST(CsvRead, ShortAndLongRowsNameTheirLine) {
  CsvError e = read_error("a,b,c\n1,2,3\n\n4,5\n");
  EXPECT_EQ(e.line, 4u);
  EXPECT_EQ(e.message, "line 4: 2 fields where the header has 3");
  e = read_error("a,b\n1,\"2,3\",4\n");
  EXPECT_EQ(e.line, 2u);
}

TEST(CsvRead, MalformedQuotingIsRefusedWithTheLineAndField) {
  const std::pair<const char*, std::size_t> cases[] = {
      {"a,b\n1,\"two\nlines\"\n", 2},  // a line break inside quotes
      {"a,b\n1,\"open\n", 2},
      {"a,b\n1,\"x\"y\n", 2},  // text after the closing quote
      {"a,b\n1,x\"y\n", 2},    // a quote inside an unquoted field
      {"a,b\r1,2\r", 1},       // carriage returns without line feeds
  };
  for (const auto& [text, line] : cases) {
    const CsvError e = read_error(text);
    EXPECT_EQ(e.line, line) << text;
    EXPECT_EQ(e.message.rfind("line " + std::to_string(line) + ": field 2", 0), 0u) << e.message;
  }
  EXPECT_NE(read_error("a,b\n1,\"two\nlines\"\n").message.find("line breaks inside quotes"),
            std::string::npos);
}

TEST(CsvRead, HeaderMustExistAndNameColumnsOnce) {
  EXPECT_EQ(read_error("").message, "line 1: no header row");
  EXPECT_EQ(read_error("\n\n").line, 3u);
  EXPECT_EQ(read_error("\nd,n,d\n").message, "line 2: column \"d\" appears twice in the header");
  EXPECT_EQ(read_ok("\"\",x,\n").header, (Fields{"", "x", ""}));  // unnamed columns may repeat
}

// --- columns and numbers ------------------------------------------------------------------------

TEST(CsvColumns, AMissingColumnIsNamed) {
  const CsvTable t = read_ok("\nn_majority,n_minority\n80,20\n");
  EXPECT_EQ(find_column(t, "n_minority").value, 1u);
  const auto missing = find_column(t, "n_hired");
  ASSERT_TRUE(missing.error);
  EXPECT_EQ(missing.error->message, "line 2: no column \"n_hired\" in the header");
}

TEST(CsvNumbers, WholeFieldMustBeAFiniteNumber) {
  const CsvTable t = read_ok("v\n0.5\n-1e-3\n\"2\"\n1.5x\n 1\n+1\nnan\ninf\n\n1e999\n0x10\n.25\n");
  const double good[] = {0.5, -1e-3, 2.0};
  for (std::size_t r = 0; r < 3; ++r) {
    const auto n = number_field(t, r, 0);
    EXPECT_FALSE(n.error) << r;
    EXPECT_EQ(n.value, good[r]);
  }
  for (std::size_t r = 3; r < 10; ++r) EXPECT_TRUE(number_field(t, r, 0).error) << r;
  EXPECT_EQ(number_field(t, 10, 0).value, 0.25);
  const auto bad = number_field(t, 3, 0);
  EXPECT_EQ(bad.error->message, "line 5: column \"v\": \"1.5x\" is not a number");
}

TEST(CsvNumbers, WholeNumbersRefuseFractionsAndOverflow) {
  const CsvTable t = read_ok("n\n1000000\n10.0\n1e3\n99999999999999999999\n-7\n");
  EXPECT_EQ(integer_field(t, 0, 0).value, 1000000);
  for (std::size_t r = 1; r < 4; ++r) EXPECT_TRUE(integer_field(t, r, 0).error) << r;
  EXPECT_EQ(integer_field(t, 4, 0).value, -7);
  EXPECT_EQ(integer_field(t, 1, 0).error->message,
            "line 3: column \"n\": \"10.0\" is not a whole number");
}

// --- writing ------------------------------------------------------------------------------------

TEST(CsvWrite, WhatIsWrittenReadsBackFieldForField) {
  const std::vector<Fields> records = {
      {"label", "note", "value"},
      {"Plant A, night shift", "say \"hi\"", "0.5"},
      {" leading", "trailing\t", ""},
      {"\xEF\xBB\xBF"
       "mark",
       "carriage\rreturn", "NA"},
  };
  std::string text;
  for (const Fields& r : records) text += csv_record(r) + "\r\n";
  const CsvTable t = read_ok(text);
  EXPECT_EQ(t.header, records[0]);
  ASSERT_EQ(t.rows.size(), records.size() - 1);
  for (std::size_t i = 1; i < records.size(); ++i) EXPECT_EQ(t.rows[i - 1].fields, records[i]);
}

TEST(CsvWrite, QuotesOnlyWhenNeeded) {
  EXPECT_EQ(csv_field("n_majority"), "n_majority");
  EXPECT_EQ(csv_field("a,b"), "\"a,b\"");
  EXPECT_EQ(csv_field("5\" tall"), "\"5\"\" tall\"");
}

TEST(CsvWrite, ALoneEmptyFieldIsNotABlankLine) {
  const Fields empty{""};
  const CsvTable t = read_ok("x\n" + csv_record(empty) + "\n" + csv_record(Fields{" "}) + "\n");
  ASSERT_EQ(t.rows.size(), 2u);
  EXPECT_EQ(t.rows[0].fields, empty);
  EXPECT_EQ(t.rows[1].fields, Fields{" "});
}

TEST(CsvWrite, NumbersInShortestFormReadBackExactly) {
  EXPECT_EQ(format_number(0.8), "0.8");
  EXPECT_EQ(format_number(std::nullopt), "NA");
  EXPECT_EQ(format_number(std::numeric_limits<double>::infinity()), "Inf");
  EXPECT_EQ(format_number(std::nan("")), "NaN");
  const double values[] = {
      0.1 + 0.2,          1.0 / 3.0,           1e-5, 5e-324, 1.7976931348623157e308, -0.0,
      0.7999999999999999, 123456789012345680.0};
  std::string text = "v\n";
  for (const double v : values) text += format_number(v) + "\n";
  const CsvTable t = read_ok(text);
  for (std::size_t r = 0; r < std::size(values); ++r) {
    const auto n = number_field(t, r, 0);
    EXPECT_FALSE(n.error) << r;
    EXPECT_EQ(n.value, values[r]) << t.rows[r].fields[0];
    EXPECT_EQ(std::signbit(n.value), std::signbit(values[r]));
  }
}

}  // namespace
}  // namespace tarven::cli
