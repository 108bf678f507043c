#include "console/list_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <variant>
#include <vector>

namespace tarven::console {
namespace {

// What a variable holds after a read: an integer, a double or a text.
using Value = std::variant<std::int64_t, double, std::string>;

// Contents before every read, so that a null value is visible as "unchanged".
constexpr std::int64_t kIntBefore = -7;
constexpr double kDoubleBefore = -7.5;

std::string text_before(std::size_t length) {
  return std::string(length, '#');
}

struct Outcome {
  std::vector<Value> values;
  std::optional<ReadError> error;
};

// Variables of one read, described by a layout: 'i' integer, 'd' double, 'a' text of length 1,
// 'n' text of length 14 (a file name).
class Variables {
 public:
  explicit Variables(std::string_view layout) {
    ints_.reserve(layout.size());
    doubles_.reserve(layout.size());
    texts_.reserve(layout.size());
    for (char kind : layout) {
      switch (kind) {
        case 'i':
          items_.emplace_back(&ints_.emplace_back(kIntBefore));
          break;
        case 'd':
          items_.emplace_back(&doubles_.emplace_back(kDoubleBefore));
          break;
        default: {
          const std::size_t length = kind == 'a' ? 1 : 14;
          items_.emplace_back(&texts_.emplace_back(FixedText{text_before(length), length}));
        }
      }
    }
  }
  std::span<const ListItem> items() const { return items_; }
  std::vector<Value> values() const {
    std::vector<Value> out;
    for (const ListItem& item : items_) {
      if (auto* i = std::get_if<std::int64_t*>(&item)) out.emplace_back(**i);
      if (auto* d = std::get_if<double*>(&item)) out.emplace_back(**d);
      if (auto* t = std::get_if<FixedText*>(&item)) out.emplace_back((*t)->value);
    }
    return out;
  }

 private:
  std::vector<std::int64_t> ints_;
  std::vector<double> doubles_;
  std::vector<FixedText> texts_;
  std::vector<ListItem> items_;
};

Outcome read_once(std::string_view layout, const std::string& input) {
  TextLineSource source(input);
  ListReader reader(source);
  Variables vars(layout);
  Outcome outcome;
  outcome.error = reader.read_list(vars.items());
  outcome.values = vars.values();
  return outcome;
}

std::string describe(const std::optional<ReadError>& e) {
  return e ? e->context + ": " + e->reason : std::string("no error");
}

struct ReadCase {
  const char* layout;
  std::string input;
  std::vector<Value> expected;
};

void expect_reads(const std::vector<ReadCase>& cases) {
  for (const ReadCase& c : cases) {
    SCOPED_TRACE("layout " + std::string(c.layout) + ", input \"" + c.input.substr(0, 80) + "\"");
    const Outcome got = read_once(c.layout, c.input);
    EXPECT_FALSE(got.error) << describe(got.error);
    EXPECT_EQ(got.values, c.expected);
  }
}

struct FailCase {
  const char* layout;
  std::string input;
  std::string_view context;
  std::string_view reason;
};

void expect_failures(const std::vector<FailCase>& cases) {
  for (const FailCase& c : cases) {
    SCOPED_TRACE("layout " + std::string(c.layout) + ", input \"" + c.input.substr(0, 80) + "\"");
    const Outcome got = read_once(c.layout, c.input);
    ASSERT_TRUE(got.error) << "read succeeded";
    EXPECT_EQ(got.error->context, c.context);
    EXPECT_EQ(got.error->reason, c.reason);
  }
}

std::string padded(std::string text, std::size_t length) {
  text.resize(length, ' ');
  return text;
}
std::string name(std::string text) {
  return padded(std::move(text), 14);
}

const std::string kLongNumber = "1234567890123456789012345678901234567890";  // 40 digits

TEST(ListReaderSeparators, BlanksTabsAndLineEndsSeparateValues) {
  expect_reads({
      {"dd", "0.3 0.6", {0.3, 0.6}},
      {"dd", "0.3,0.6", {0.3, 0.6}},
      {"dd", "0.3\n0.6", {0.3, 0.6}},
      {"dd", "0.3 , 0.6", {0.3, 0.6}},
      {"dd", "\t0.3\t\t0.6\t", {0.3, 0.6}},
      {"dd", "   \n\n\t\n0.3\n\n  0.6", {0.3, 0.6}},
      {"iii", "1\n2 3", {std::int64_t{1}, std::int64_t{2}, std::int64_t{3}}},
  });
}

TEST(ListReaderSeparators, EmptyLinesDoNotCompleteAnAnswer) {
  TextLineSource source("\n\n   \n\t\n42\n99\n");
  ListReader reader(source);
  std::int64_t value = 0;
  const ListItem items[] = {&value};
  ASSERT_FALSE(reader.read_list(items));
  EXPECT_EQ(value, 42);
  EXPECT_EQ(source.lines_read(), 5u);  // the answer's line, not the one after it
}

TEST(ListReaderSeparators, RestOfTheLineIsDiscardedAfterTheLastVariable) {
  TextLineSource source("100 50\n7 8\n0,5\n/ 3\n4\n");
  ListReader reader(source);
  std::int64_t n = 0;
  double es = 0.0;
  const ListItem ints[] = {&n};
  const ListItem doubles[] = {&es};
  ASSERT_FALSE(reader.read_list(ints));
  EXPECT_EQ(n, 100);
  ASSERT_FALSE(reader.read_list(ints));
  EXPECT_EQ(n, 7);
  ASSERT_FALSE(reader.read_list(doubles));  // a decimal comma: "0", the 5 is lost
  EXPECT_EQ(es, 0.0);
  ASSERT_FALSE(reader.read_list(ints));  // the slash ends the read, the 3 is lost with its line
  EXPECT_EQ(n, 7);
  ASSERT_FALSE(reader.read_list(ints));
  EXPECT_EQ(n, 4);
  EXPECT_EQ(source.lines_read(), 5u);
}

TEST(ListReaderSeparators, NeverReadsAheadOfTheLineNeeded) {
  TextLineSource source("1 2\n3\n4\n");
  ListReader reader(source);
  std::int64_t a = 0, b = 0;
  const ListItem two[] = {&a, &b};
  ASSERT_FALSE(reader.read_list(two));
  EXPECT_EQ(source.lines_read(), 1u);
  ASSERT_FALSE(reader.read_list(two));
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 4);
  EXPECT_EQ(source.lines_read(), 3u);
}

TEST(ListReaderSeparators, AReadAfterAFailedReadStartsOnTheNextLine) {
  TextLineSource source("12.5 9\n8\n");
  ListReader reader(source);
  std::int64_t value = 0;
  const ListItem items[] = {&value};
  EXPECT_TRUE(reader.read_list(items));
  ASSERT_FALSE(reader.read_list(items));
  EXPECT_EQ(value, 8);
}

TEST(ListReaderNullValues, CommaAndSlashKeepPreviousValues) {
  const std::int64_t before = kIntBefore;
  expect_reads({
      {"dd", ",7", {kDoubleBefore, 7.0}},
      {"dd", "3,,", {3.0, kDoubleBefore}},
      {"iii", "5,,6", {std::int64_t{5}, before, std::int64_t{6}}},
      {"iii", ",,,", {before, before, before}},
      {"dd", "3/", {3.0, kDoubleBefore}},
      {"dd", "3 / 4", {3.0, kDoubleBefore}},
      {"dd", "/", {kDoubleBefore, kDoubleBefore}},
      {"dd", "\n\n/4", {kDoubleBefore, kDoubleBefore}},
      {"dd", ", /", {kDoubleBefore, kDoubleBefore}},
      {"dd", "1\n,2", {1.0, kDoubleBefore}},  // a comma on a new line is a null of its own
      {"an", ",'file'", {text_before(1), name("file")}},
      {"an", "y/", {"y", text_before(14)}},
  });
}

TEST(ListReaderRepeatCounts, ValuesAndNullsRepeat) {
  const std::int64_t before = kIntBefore;
  expect_reads({
      {"dd", "2*0.5", {0.5, 0.5}},
      {"dd", "1*0.5 3", {0.5, 3.0}},
      {"dd", "2*", {kDoubleBefore, kDoubleBefore}},
      {"ddd", "2*,9", {kDoubleBefore, kDoubleBefore, 9.0}},
      {"ddd", "2* 9", {kDoubleBefore, kDoubleBefore, 9.0}},
      {"ddd", "2*/ 9", {kDoubleBefore, kDoubleBefore, kDoubleBefore}},
      {"ddd", "2*4,9", {4.0, 4.0, 9.0}},
      {"dd", "3*1", {1.0, 1.0}},  // more repeats than variables: the rest is dropped
      {"dd", "99999999999999999999999*1", {1.0, 1.0}},
      {"id", "2*5", {std::int64_t{5}, 5.0}},
      {"iid", "2*5\n2.5", {std::int64_t{5}, std::int64_t{5}, 2.5}},
      {"iii", "007*3", {std::int64_t{3}, std::int64_t{3}, std::int64_t{3}}},
      {"ii", "1*,2", {before, std::int64_t{2}}},
      {"nn", "2*'a b'", {name("a b"), name("a b")}},
      {"ia", "2*12abc", {std::int64_t{12}, "1"}},
  });
}

TEST(ListReaderRepeatCounts, MalformedCountsAreRefused) {
  expect_failures({
      {"i", "0*5", kBadRepetitionCount, kIncomprehensibleInput},
      {"d", "00*5", kBadRepetitionCount, kIncomprehensibleInput},
      {"i", "-2*5", kBadRepetitionCount, kIncomprehensibleInput},
      {"i", "+2*5", kBadRepetitionCount, kIncomprehensibleInput},
      {"d", "-2*5", kBadRepetitionCount, kIncomprehensibleInput},
      {"i", "*5", kBadRepetitionCount, kIncomprehensibleInput},
      {"d", "*5", kBadRepetitionCount, kIncomprehensibleInput},
      {"d", "1.5*2", kBadRepetitionCount, kIncomprehensibleInput},
      {"d", "1e2*2", kBadRepetitionCount, kIncomprehensibleInput},
      {"i", "2*3*4", kBadRepetitionCount, kIncomprehensibleInput},
      {"a", "0*y", kBadRepetitionCount, kIncomprehensibleInput},
  });
}

TEST(ListReaderRepeatCounts, AnAsteriskWithoutDigitsIsPlainTextForATextVariable) {
  expect_reads({{"a", "*5", {"*"}}, {"n", "-2*5", {name("-2*5")}}});
}

TEST(ListReaderIntegers, DigitsWithOptionalSign) {
  expect_reads({
      {"i", "12abc", {std::int64_t{12}}},
      {"i", "12'x'", {std::int64_t{12}}},
      {"i", "-42", {std::int64_t{-42}}},
      {"i", "+42", {std::int64_t{42}}},
      {"i", "007", {std::int64_t{7}}},
      {"i", "-0", {std::int64_t{0}}},
      {"i", "100 50", {std::int64_t{100}}},
      {"i", "12\t", {std::int64_t{12}}},
  });
}

TEST(ListReaderIntegers, WhatFollowsTheDigitsStaysInTheInput) {
  expect_failures({{"ii", "12abc 5", kInvalidNumber, kIncomprehensibleInput}});
  const Outcome got = read_once("ia", "12abc 5");
  EXPECT_FALSE(got.error);
  EXPECT_EQ(got.values, (std::vector<Value>{std::int64_t{12}, "a"}));
}

TEST(ListReaderIntegers, ValuesBeyond32BitsAreKeptOrClampedNotWrapped) {
  constexpr std::int64_t clamp = std::int64_t{1} << 62;
  expect_reads({
      {"i", "2147483648", {std::int64_t{2147483648}}},
      {"i", "-4294967297", {std::int64_t{-4294967297}}},
      // The digits are read as a double: 2^53 + 1 is not a double.
      {"i", "9007199254740993", {std::int64_t{9007199254740992}}},
      {"i", "4611686018427387904", {clamp}},
      {"i", "99999999999999999999999999999", {clamp}},
      {"i", "-99999999999999999999999999999", {-clamp}},
      {"i", "1" + std::string(5000, '0'), {clamp}},
  });
}

TEST(ListReaderIntegers, PointOrExponentAfterTheDigitsIsRefused) {
  expect_failures({
      {"i", "12.0", kInvalidInteger, kUnexpectedCharacter},
      {"i", "12.5", kInvalidInteger, kUnexpectedCharacter},
      {"i", "12.", kInvalidInteger, kUnexpectedCharacter},
      {"i", "1e2", kInvalidInteger, kUnexpectedCharacter},
      {"i", "1E2", kInvalidInteger, kUnexpectedCharacter},
      {"i", "1d2", kInvalidInteger, kUnexpectedCharacter},
      {"i", "1D", kInvalidInteger, kUnexpectedCharacter},
      {"i", "12+3", kInvalidInteger, kUnexpectedCharacter},
      {"i", "12-", kInvalidInteger, kUnexpectedCharacter},
      {"i", ".5", kInvalidInteger, kUnexpectedCharacter},
  });
}

TEST(ListReaderIntegers, NoDigitIsRefused) {
  expect_failures({
      {"i", "abc", kInvalidNumber, kIncomprehensibleInput},
      {"i", "+x", kInvalidNumber, kIncomprehensibleInput},
      {"i", "-", kInvalidNumber, kIncomprehensibleInput},
      {"i", "- 5", kInvalidNumber, kIncomprehensibleInput},
      {"i", "+,", kInvalidNumber, kIncomprehensibleInput},
      {"i", "'5'", kInvalidNumber, kIncomprehensibleInput},
      {"ii", "5 x", kInvalidNumber, kIncomprehensibleInput},
  });
}

TEST(ListReaderDoubles, DecimalsAndExponents) {
  expect_reads({
      {"d", "1e3", {1000.0}},
      {"d", "1d3", {1000.0}},
      {"d", "1D3", {1000.0}},
      {"d", "1E+03", {1000.0}},
      {"d", "1000.", {1000.0}},
      {"d", "+1.0E+3", {1000.0}},
      {"d", "10000e-1", {1000.0}},
      {"d", "1.5+3", {1500.0}},
      {"d", "1.5-3", {0.0015}},
      {"d", "15d-4", {0.0015}},
      {"d", ".5", {0.5}},
      {"d", "5.", {5.0}},
      {"d", "-.5", {-0.5}},
      {"d", "0.000123", {0.000123}},
      {"d", "0.3", {0.3}},
      {"d", "1.5x", {1.5}},
      {"d", "1e3x", {1000.0}},
      {"d", "0,5", {0.0}},
      {"dd", "0,5", {0.0, 5.0}},
      {"d", "2.2250738585072014e-308", {std::numeric_limits<double>::min()}},
      {"d", "1.7976931348623157e308", {std::numeric_limits<double>::max()}},
  });
  const Outcome negative_zero = read_once("d", "-0.0");
  ASSERT_EQ(negative_zero.values.size(), 1u);
  EXPECT_TRUE(std::signbit(std::get<double>(negative_zero.values[0])));
}

TEST(ListReaderDoubles, ExponentWithoutDigitsIsRefused) {
  expect_failures({
      {"d", "1e", kExponentField, kIncomprehensibleInput},
      {"d", "1E+", kExponentField, kIncomprehensibleInput},
      {"d", "1d-x", kExponentField, kIncomprehensibleInput},
      {"d", "1.5+", kExponentField, kIncomprehensibleInput},
      {"d", "1.5- 3", kExponentField, kIncomprehensibleInput},
      {"d", ".5e,", kExponentField, kIncomprehensibleInput},
  });
}

TEST(ListReaderDoubles, NoDigitIsRefused) {
  expect_failures({
      {"d", "abc", kInvalidNumber, kIncomprehensibleInput},
      {"d", "+x", kInvalidNumber, kIncomprehensibleInput},
      {"d", ".", kInvalidNumber, kIncomprehensibleInput},
      {"d", "-.e5", kInvalidNumber, kIncomprehensibleInput},
      {"d", "e5", kInvalidNumber, kIncomprehensibleInput},
      {"d", "inf", kInvalidNumber, kIncomprehensibleInput},
      {"d", "nan", kInvalidNumber, kIncomprehensibleInput},
      {"dd", "0x10", kInvalidNumber, kIncomprehensibleInput},  // "0" then "x10" is the 2nd value
  });
  // The last case reads 0 when it is the only variable:
  expect_reads({{"d", "0x10", {0.0}}});
}

TEST(ListReaderDoubles, OnlyTheFirst40SignificantDigitsCount) {
  // 1 + 2^-53 lies exactly halfway between 1 and the next double; the digits after the 40th
  // would tip the rounding upwards, but they only scale the value.
  const std::string beyond_halfway = "1.0000000000000001110223024625156540423631668090820312500001";
  ASSERT_NE(std::strtod(beyond_halfway.c_str(), nullptr), 1.0);  // the case discriminates
  const std::string first40 = "1.000000000000000111022302462515654042364";
  expect_reads({
      {"d", beyond_halfway, {1.0}},
      {"d", first40, {std::nextafter(1.0, 2.0)}},
      // Leading zeros are not significant.
      {"d",
       "0." + std::string(50, '0') + first40.substr(0, 1) + first40.substr(2) + "e51",
       {std::nextafter(1.0, 2.0)}},
      // Dropped digits before the point still multiply by ten.
      {"d", kLongNumber + "9999999999", {std::strtod((kLongNumber + "e10").c_str(), nullptr)}},
      {"d", kLongNumber + "." + std::string(100, '9'), {std::strtod(kLongNumber.c_str(), nullptr)}},
      {"d", "0." + std::string(500, '0') + "1e510", {1e9}},
      {"d", std::string(3000, '9') + "e-3000", {1.0}},
  });
}

TEST(ListReaderDoubles, ExponentLimit) {
  const double inf = std::numeric_limits<double>::infinity();
  expect_reads({
      {"d", "1e99999999", {inf}},
      {"d", "-1e99999999", {-inf}},
      {"d", "1e-99999999", {0.0}},
      {"d", "1e0000000000099999999", {inf}},
      {"d", "0e99999999", {0.0}},
      {"d", "1e400", {inf}},
      {"d", "1e-400", {0.0}},
      {"d", "1e-320", {1e-320}},
      {"d", "1" + std::string(400, '0'), {inf}},
      {"d", "0." + std::string(5000, '0') + "1e4990", {1e-11}},
  });
  expect_failures({
      {"d", "1e100000000", kExponentField, kIncomprehensibleInput},
      {"d", "1e-100000000", kExponentField, kIncomprehensibleInput},
      {"d", "1e" + std::string(3000, '9'), kExponentField, kIncomprehensibleInput},
  });
}

TEST(ListReaderTexts, UnquotedQuotedCutAndPadded) {
  expect_reads({
      {"a", "yes", {"y"}},
      {"a", "y", {"y"}},
      {"a", "Y", {"Y"}},
      {"a", "'Y'", {"Y"}},
      {"a", "'y'", {"y"}},
      {"a", "\"y\"", {"y"}},
      {"n", "report.txt", {name("report.txt")}},
      {"n", "abcdefghijklmnopqrstuvwxyz", {"abcdefghijklmn"}},
      {"n", "ab cd", {name("ab")}},
      {"n", "ab\tcd", {name("ab")}},
      {"n", "ab,cd", {name("ab")}},
      {"n", "ab/cd", {name("ab")}},
      {"n", "'ab cd, e/f'", {name("ab cd, e/f")}},
      {"n", "'it''s'", {name("it's")}},
      {"n", "\"say \"\"hi\"\"\"", {name("say \"hi\"")}},
      {"n", "\"it's\"", {name("it's")}},
      {"n", "''''", {name("'")}},
      {"n", "''", {name("")}},
      {"n", "'unclosed text", {name("unclosed text")}},
      {"n", "'a\nb'", {name("a")}},  // a quoted text ends with its line
      {"nn", "'a'b", {name("a"), name("b")}},
      {"nn", "'a' , 'b'", {name("a"), name("b")}},
      {"in", "3 'x'", {std::int64_t{3}, name("x")}},
  });
}

TEST(ListReaderTexts, NullTextKeepsAndFixesItsLength) {
  TextLineSource source(",\n");
  ListReader reader(source);
  FixedText short_text{"ab", 4};
  const ListItem items[] = {&short_text};
  ASSERT_FALSE(reader.read_list(items));
  EXPECT_EQ(short_text.value, "ab  ");
}

TEST(ListReaderLineEnds, CarriageReturnBeforeLineFeedBelongsToTheLineEnd) {
  expect_reads({
      {"i", "12\r\n", {std::int64_t{12}}},
      {"dd", "0.3\r\n0.6\r\n", {0.3, 0.6}},
      {"dd", "\r\n\r\n0.3\r\n0.6", {0.3, 0.6}},
      {"n", "report\r\n", {name("report")}},
      {"n", "'report\r\n", {name("report")}},
      {"a", "y\r\n", {"y"}},
      {"n", "a\rb\n", {name("a\rb")}},  // not before a line feed: an ordinary character
  });
  expect_failures({{"i", "\r\n\r\n", kListInContext, kEndOfFile}});
}

TEST(ListReaderLineEnds, VeryLongLines) {
  expect_reads({
      {"i", std::string(200000, ' ') + "7", {std::int64_t{7}}},
      {"n", std::string(1000000, 'x'), {std::string(14, 'x')}},
      {"ii",
       "1 " + std::string(100000, '\t') + "2 " + std::string(100000, '9'),
       {std::int64_t{1}, std::int64_t{2}}},
      {"d", "1." + std::string(200000, '0') + "1", {1.0}},
  });
  TextLineSource source(std::string(100000, 'z') + "\n8\n");
  ListReader reader(source);
  std::string text;
  ASSERT_FALSE(reader.read_formatted(14, text));
  EXPECT_EQ(text, std::string(14, 'z'));
  std::int64_t value = 0;
  const ListItem items[] = {&value};
  ASSERT_FALSE(reader.read_list(items));
  EXPECT_EQ(value, 8);
}

TEST(ListReaderEndOfInput, FreeFormReadReportsListIn) {
  expect_failures({
      {"i", "", kListInContext, kEndOfFile},
      {"d", "  \n\t\n\n", kListInContext, kEndOfFile},
      {"a", "\n", kListInContext, kEndOfFile},
      {"dd", "0.3", kListInContext, kEndOfFile},
      {"dd", "0.3,", kListInContext, kEndOfFile},
  });
  // The first value was read before the input ended.
  const Outcome got = read_once("dd", "0.3\n");
  EXPECT_EQ(got.values, (std::vector<Value>{0.3, kDoubleBefore}));
}

TEST(ListReaderEndOfInput, ALastLineWithoutLineEndIsStillRead) {
  TextLineSource source("5\n6");
  ListReader reader(source);
  std::int64_t value = 0;
  const ListItem items[] = {&value};
  ASSERT_FALSE(reader.read_list(items));
  ASSERT_FALSE(reader.read_list(items));
  EXPECT_EQ(value, 6);
  const auto error = reader.read_list(items);
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, (ReadError{"list in", "end of file"}));
}

TEST(ListReaderEndOfInput, ReadWithoutVariablesConsumesOneLine) {
  TextLineSource source("ignored 1 2\n3\n");
  ListReader reader(source);
  ASSERT_FALSE(reader.read_list({}));
  std::int64_t value = 0;
  const ListItem items[] = {&value};
  ASSERT_FALSE(reader.read_list(items));
  EXPECT_EQ(value, 3);
  EXPECT_TRUE(reader.read_list({}));
}

TEST(ListReaderFormatted, FirstCharactersOfTheNextLinePadded) {
  struct Case {
    std::size_t width;
    std::string line;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {14, "abc", name("abc")},
      {14, "  lead in", name("  lead in")},
      {14, "a name that is too long", "a name that is"},
      {14, "", std::string(14, ' ')},
      {14, "a,b/c 'd'", name("a,b/c 'd'")},
      {14, "crlf\r", name("crlf")},
      {1, "yes", "y"},
      {1, "Y", "Y"},
      {1, "", " "},
      {1, " y", " "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    TextLineSource source(c.line + "\nnext\n");
    ListReader reader(source);
    std::string text = "previous";
    ASSERT_FALSE(reader.read_formatted(c.width, text));
    EXPECT_EQ(text, c.expected);
    EXPECT_EQ(source.lines_read(), 1u);
  }
}

TEST(ListReaderFormatted, RestOfTheLineIsDiscardedAndEndOfInputIsFmt) {
  TextLineSource source("name.txt 17\n17\n");
  ListReader reader(source);
  std::string text;
  ASSERT_FALSE(reader.read_formatted(14, text));
  std::int64_t value = 0;
  const ListItem items[] = {&value};
  ASSERT_FALSE(reader.read_list(items));
  EXPECT_EQ(value, 17);
  EXPECT_EQ(source.lines_read(), 2u);
  const auto error = reader.read_formatted(1, text);
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, (ReadError{"fmt", "end of file"}));
}

TEST(TextLineSourceTest, SplitsLikeStandardInput) {
  TextLineSource source("a\r\n\nb\r\r\n c\r");
  std::vector<std::string> lines;
  for (std::string line; source.next_line(line);) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "", "b\r", " c\r"}));
  TextLineSource empty("");
  std::string line;
  EXPECT_FALSE(empty.next_line(line));
}

// Standard input is the process's own stdin: exercise it in a child process.
class StandardInputTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

const std::string kLongLine(300000, 'q');

[[noreturn]] void read_all_of_a_file_as_stdin() {
  char path[] = "/tmp/tarven_stdin_XXXXXX";
  const int fd = mkstemp(path);
  const std::string content = "first\r\n\n" + kLongLine + "\nlast";
  if (fd < 0 || write(fd, content.data(), content.size()) != ssize_t(content.size())) {
    std::_Exit(2);
  }
  close(fd);
  if (std::freopen(path, "r", stdin) == nullptr) std::_Exit(3);
  unlink(path);
  std::vector<std::string> lines;
  for (std::string line; standard_input().next_line(line);) lines.push_back(line);
  const std::vector<std::string> expected = {"first", "", kLongLine, "last"};
  std::_Exit(lines == expected ? 0 : 1);
}

TEST_F(StandardInputTest, ReadsLinesOfAnyLengthWithCrLf) {
  EXPECT_EXIT(read_all_of_a_file_as_stdin(), ::testing::ExitedWithCode(0), "");
}

[[noreturn]] void read_from_a_pipe_left_open() {
  int fds[2];
  if (pipe(fds) != 0) std::_Exit(2);
  if (write(fds[1], "12 3\n", 5) != 5) std::_Exit(2);
  if (dup2(fds[0], STDIN_FILENO) < 0) std::_Exit(2);
  alarm(10);
  ListReader reader(standard_input());
  std::int64_t value = 0;
  const ListItem items[] = {&value};
  const bool ok = !reader.read_list(items) && value == 12;
  std::_Exit(ok ? 0 : 1);
}

TEST_F(StandardInputTest, ReturnsALineWithoutWaitingForMoreInput) {
  // The writer keeps the pipe open: a reader that looked ahead would block until the alarm.
  EXPECT_EXIT(read_from_a_pipe_left_open(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tarven::console
