#include "cli/csv.h"

#include <gtest/gtest.h>

#include <cmath>
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

CsvError read_error(std::string_view text) {
  CsvResult<CsvTable> r = read_csv(text);
  EXPECT_TRUE(r.error) << "read without error: " << text;
  return r.error.value_or(CsvError{});
}

// --- records ------------------------------------------------------------------------------------

TEST(CsvRead, QuotedFieldsKeepCommasAndDoubledQuotes) {
  const CsvTable t =
      read_ok("label,d\n\"Plant A, night shift\",0.5\n\"say \"\"hi\"\"\",\"\"\"\"\n");
  ASSERT_EQ(t.rows.size(), 2u);
  EXPECT_EQ(t.rows[0].fields, (Fields{"Plant A, night shift", "0.5"}));
  EXPECT_EQ(t.rows[1].fields, (Fields{"say \"hi\"", "\""}));
}

TEST(CsvRead, LineEndsBlankLinesAndEmptyFields) {
  // LF and CR LF mixed, blank lines counted but skipped, a last line without its end
  const CsvTable t = read_ok("\xEF\xBB\xBF\na,b,c\r\n\n  \t\r\n1,,\n,,\r\n\n2,3,4");
  EXPECT_EQ(t.header, (Fields{"a", "b", "c"}));  // the byte-order mark dropped
  EXPECT_EQ(t.header_line, 2u);
  ASSERT_EQ(t.rows.size(), 3u);
  EXPECT_EQ(t.rows[0].line, 5u);
  EXPECT_EQ(t.rows[0].fields, (Fields{"1", "", ""}));
  EXPECT_EQ(t.rows[1].fields, (Fields{"", "", ""}));
  EXPECT_EQ(t.rows[2].fields, (Fields{"2", "3", "4"}));
}

TEST(CsvRead, ShortRowsAndMalformedQuotingNameTheLine) {
  EXPECT_EQ(read_error("a,b,c\n1,2,3\n\n4,5\n").message, "line 4: 2 fields where the header has 3");
  EXPECT_EQ(read_error("a,b\n1,\"2,3\",4\n").line, 2u);
  const char* bad_field_2[] = {
      "a,b\n1,\"two\nlines\"\n",  // a line break inside quotes
      "a,b\n1,\"x\"y\n",          // text after the closing quote
      "a,b\n1,x\"y\n",            // a quote inside an unquoted field
      "a,b\n1,2\r3\n",            // a carriage return without its line feed
  };
  for (const char* text : bad_field_2)
    EXPECT_EQ(read_error(text).message.rfind("line 2: field 2"), 0u);
  EXPECT_NE(read_error(bad_field_2[0]).message.find("line breaks inside quotes are not supported"),
            std::string::npos);
}

TEST(CsvRead, HeaderMustExistAndNameColumnsOnce) {
  EXPECT_EQ(read_error("\n\n").message, "line 3: no header row");
  EXPECT_EQ(read_error("\nd,n,d\n").message, "line 2: column \"d\" appears twice in the header");
  EXPECT_EQ(read_ok("\"\",x,\n").header, (Fields{"", "x", ""}));  // unnamed columns may repeat
  // Data where the header should be is named as that, not as a column given twice.
  for (const char* data : {"10,7,4,0,0,0.5\n10,7,4,0,0,0.5\n", ",1e3,\n", "-1,1e400\n"}) {
    EXPECT_EQ(read_error(data).message, "line 1: no header row: the first line has no column names")
        << data;
  }
}

// A line is held only up to the limits; beyond them it is refused by what it is, and the records
// around it are read as ever.
TEST(CsvRead, LinesBeyondTheLimitsAreRefusedWithoutBeingHeld) {
  std::string wide_header;
  for (std::size_t c = 0; c < kMaxFields; ++c) wide_header += (c ? ",c" : "c") + std::to_string(c);
  EXPECT_EQ(read_ok(wide_header + "\n").header.size(), kMaxFields);
  EXPECT_EQ(read_error(wide_header + ",one_more\n").message,
            "line 1: the header has more than 10000 columns");
  EXPECT_EQ(read_error(std::string(kMaxLineBytes + 1, 'h') + "\n").message,
            "line 1: the header: 1048577 bytes, more than the 1048576 a line may have");

  const std::string text = "a,b\n1,2\n" + std::string(kMaxFields + 5, ',') + "\n" +
                           std::string(kMaxLineBytes + 10, '7') + "\n3,4\n";
  const CsvResult<CsvTable> kept = read_csv(text, BadRecords::kKeep);
  ASSERT_FALSE(kept.error);
  ASSERT_EQ(kept.value.rows.size(), 4u);
  EXPECT_EQ(kept.value.rows[1].fault, "line 3: more than 10000 fields in one line");
  EXPECT_EQ(kept.value.rows[2].fault,
            "line 4: 1048586 bytes, more than the 1048576 a line may have");
  EXPECT_TRUE(kept.value.rows[1].fields.empty() && kept.value.rows[2].fields.empty());
  EXPECT_EQ(kept.value.rows[3].fields, (Fields{"3", "4"}));
  EXPECT_EQ(read_error(text).line, 3u);
}

// --- columns and numbers ------------------------------------------------------------------------

TEST(CsvColumns, AMissingColumnIsNamed) {
  const CsvTable t = read_ok("\nn_majority,n_minority\n80,20\n");
  EXPECT_EQ(find_column(t, "n_minority").value, 1u);
  EXPECT_EQ(find_column(t, "n_hired").error->message,
            "line 2: no column \"n_hired\" in the header");
}

TEST(CsvNumbers, TheWholeFieldMustBeAFiniteNumber) {
  const CsvTable t =
      read_ok("v,n\n0.5,7\n\"-1e-3\",-7\n1.5x,10.0\n 1,1e3\n+1,\nnan,\ninf,\n1e999,\n");
  EXPECT_EQ(number_field(t, 0, 0).value, 0.5);
  EXPECT_EQ(number_field(t, 1, 0).value, -1e-3);
  EXPECT_EQ(integer_field(t, 1, 1).value, -7);
  for (std::size_t r = 2; r < t.rows.size(); ++r) {
    EXPECT_TRUE(number_field(t, r, 0).error) << r;
    EXPECT_TRUE(integer_field(t, r, 1).error) << r;
  }
  EXPECT_EQ(number_field(t, 2, 0).error->message, "line 4: column \"v\": \"1.5x\" is not a number");
  EXPECT_EQ(integer_field(t, 2, 1).error->message,
            "line 4: column \"n\": \"10.0\" is not a whole number");
}

TEST(CsvNumbers, BeyondTheRangeOfADoubleIsOutOfRangeAndBelowItZero) {
  struct Case {
    const char* text;
    NumberFault fault;
    double value;
  };
  const double inf = HUGE_VAL;
  for (const Case c :
       {Case{"1e400", NumberFault::kOutOfRange, inf},
        Case{"-1e400", NumberFault::kOutOfRange, -inf},
        Case{"0.0000001e316", NumberFault::kOutOfRange, inf},
        Case{"1e99999999999999999999", NumberFault::kOutOfRange, inf},
        Case{"1e-400", NumberFault::kNone, 0.0}, Case{"-1000e-330", NumberFault::kNone, -0.0},
        Case{"1e-99999999999999999999", NumberFault::kNone, 0.0},
        Case{"1e-310", NumberFault::kNone, 1e-310}, Case{"0e400", NumberFault::kNone, 0.0},
        Case{"1.5", NumberFault::kNone, 1.5}, Case{"inf", NumberFault::kNotANumber, 0.0},
        Case{"1e400x", NumberFault::kNotANumber, 0.0}, Case{"", NumberFault::kNotANumber, 0.0}}) {
    const ParsedNumber n = parse_number(c.text);
    EXPECT_EQ(n.fault, c.fault) << c.text;
    EXPECT_EQ(n.value, c.value) << c.text;
    EXPECT_EQ(std::signbit(n.value), std::signbit(c.value)) << c.text;
  }
}

// --- writing ------------------------------------------------------------------------------------

TEST(CsvWrite, WhatIsWrittenReadsBackFieldForField) {
  // a header starting with what looks like a byte-order mark must keep it
  const std::vector<Fields> records = {{"\xEF\xBB\xBF"
                                        "label",
                                        "note"},
                                       {"Plant A, night shift", "say \"hi\""},
                                       {" leading", "trailing\t"},
                                       {"carriage\rreturn", ""}};
  std::string text;
  for (const Fields& r : records) text += csv_record(r) + "\r\n";
  const CsvTable t = read_ok(text);
  EXPECT_EQ(t.header, records[0]);
  ASSERT_EQ(t.rows.size(), records.size() - 1);
  for (std::size_t i = 1; i < records.size(); ++i) EXPECT_EQ(t.rows[i - 1].fields, records[i]);
  // a lone empty field is not a blank line
  EXPECT_EQ(read_ok("x\n" + csv_record(Fields{""}) + "\n").rows.at(0).fields, Fields{""});
}

TEST(CsvWrite, BytesThatAreNotUtf8AreReplacedOneByOne) {
  // A Latin-1 e acute, a sequence cut short, a stray continuation byte; valid text stays.
  EXPECT_EQ(csv_field("caf\xE9, \xE2\x82 \x80 \xE2\x82\xAC"),
            "\"caf\xEF\xBF\xBD, \xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD \xE2\x82\xAC\"");
}

TEST(CsvWrite, NumbersInShortestFormReadBackExactly) {
  EXPECT_EQ(format_number(0.8), "0.8");
  EXPECT_EQ(format_number(std::nullopt), "NA");
  EXPECT_EQ(format_number(-HUGE_VAL), "-Inf");
  const double values[] = {0.1 + 0.2, 1.0 / 3.0, 1e-5, 5e-324, 1.7976931348623157e308, -0.0};
  std::string text = "v\n";
  for (const double v : values) text += format_number(v) + "\n";
  const CsvTable t = read_ok(text);
  for (std::size_t r = 0; r < std::size(values); ++r) {
    const double back = number_field(t, r, 0).value;
    EXPECT_TRUE(back == values[r] && std::signbit(back) == std::signbit(values[r])) << r;
  }
}

}  // namespace
}  // namespace tarven::cli
