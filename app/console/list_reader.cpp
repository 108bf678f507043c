#include "console/list_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace tarven::console {

namespace {

constexpr int kEndOfLine = -1;

// Digits beyond these only scale a number; a longer mantissa could not change a double anyway
// but would let one answer cost time and memory in proportion to its length.
constexpr std::size_t kSignificantDigits = 40;
constexpr std::int64_t kExponentLimit = 99999999;
// Far beyond any double: 40 digits times 10^100000 is infinity, times 10^-100000 is zero.
constexpr std::int64_t kPowerClamp = 100000;

bool is_blank(int c) {
  return c == ' ' || c == '\t';
}
bool is_digit(int c) {
  return c >= '0' && c <= '9';
}
bool is_sign(int c) {
  return c == '+' || c == '-';
}
bool is_exponent_letter(int c) {
  return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}
bool is_quote(int c) {
  return c == '\'' || c == '"';
}
// What ends an unquoted text, and what marks "r*" as r null values.
bool ends_value(int c) {
  return c == kEndOfLine || is_blank(c) || c == ',' || c == '/';
}

ReadError make_error(std::string_view context, std::string_view reason) {
  return ReadError{std::string(context), std::string(reason)};
}

void fit(FixedText& text) {
  text.value.resize(text.length, ' ');
}

// A number as typed: value = 0.digits * 10^scale, digits without leading zeros, at most
// kSignificantDigits of them.
struct Decimal {
  std::string digits;
  std::int64_t scale = 0;
  bool any_digit = false;
};

double to_double(const Decimal& d, std::int64_t exponent, bool negative) {
  if (d.digits.empty()) return negative ? -0.0 : 0.0;
  std::int64_t power = d.scale + exponent - static_cast<std::int64_t>(d.digits.size());
  if (power > kPowerClamp) power = kPowerClamp;
  if (power < -kPowerClamp) power = -kPowerClamp;
  // Integer mantissa and exponent, no decimal point: strtod then cannot be misled by a locale,
  // and it rounds correctly (overflow gives infinity, underflow zero or a subnormal).
  std::string text;
  text.reserve(d.digits.size() + 12);
  if (negative) text.push_back('-');
  text += d.digits;
  text.push_back('e');
  text += std::to_string(power);
  return std::strtod(text.c_str(), nullptr);
}

std::int64_t truncate_to_integer(double value) {
  // Truncation toward zero; the comparisons also catch infinities.
  const auto limit = static_cast<double>(kIntegerClamp);
  if (value >= limit) return kIntegerClamp;
  if (value <= -limit) return -kIntegerClamp;
  return static_cast<std::int64_t>(value);
}

}  // namespace

// The reading of one free-form read; works on the reader's current line and position.
class ListParser {
 public:
  explicit ListParser(ListReader& reader) : r_(reader) {}

  std::optional<ReadError> run(std::span<const ListItem> items);

 private:
  int peek() const {
    return r_.have_line_ && r_.pos_ < r_.line_.size()
               ? static_cast<unsigned char>(r_.line_[r_.pos_])
               : kEndOfLine;
  }
  bool next_line() {
    r_.pos_ = 0;
    r_.have_line_ = r_.source_.next_line(r_.line_);
    return r_.have_line_;
  }
  bool skip_to_value();
  void skip_after_value();
  std::optional<ReadError> scan_repeat_count(std::int64_t& count);
  std::optional<ReadError> parse_value(const ListItem& item);
  std::optional<ReadError> parse_integer(std::int64_t& out);
  std::optional<ReadError> parse_double(double& out);
  void parse_text(FixedText& out);
  bool scan_sign();
  void scan_digits(Decimal& d, bool after_point);

  ListReader& r_;
};

// Blanks, tabs and line ends before a value; fetches lines only while nothing else is left, so
// an empty line completes nothing. False at the end of the input.
bool ListParser::skip_to_value() {
  for (;;) {
    while (is_blank(peek())) ++r_.pos_;
    if (peek() != kEndOfLine) return true;
    if (!next_line()) return false;
  }
}

// Blanks and tabs after a value, and one comma. Never looks past the current line.
void ListParser::skip_after_value() {
  while (is_blank(peek())) ++r_.pos_;
  if (peek() == ',') ++r_.pos_;
}

// "r*" before a value. count stays 0 when the digits are not followed by an asterisk.
std::optional<ReadError> ListParser::scan_repeat_count(std::int64_t& count) {
  count = 0;
  std::size_t end = r_.pos_;
  while (end < r_.line_.size() && is_digit(static_cast<unsigned char>(r_.line_[end]))) ++end;
  if (end == r_.pos_ || end == r_.line_.size() || r_.line_[end] != '*') return std::nullopt;
  std::int64_t value = 0;
  for (std::size_t i = r_.pos_; i < end; ++i) {
    const int digit = r_.line_[i] - '0';
    // Saturates: a count this large already exceeds any read's variables.
    value = value > (kIntegerClamp - digit) / 10 ? kIntegerClamp : value * 10 + digit;
  }
  if (value == 0) return make_error(kBadRepetitionCount, kIncomprehensibleInput);
  r_.pos_ = end + 1;
  count = value;
  return std::nullopt;
}

std::optional<ReadError> ListParser::run(std::span<const ListItem> items) {
  if (items.empty()) {
    if (!next_line()) return make_error(kListInContext, kEndOfFile);
    return std::nullopt;
  }
  std::int64_t repeats_left = 0;  // variables still due from the last "r*"
  bool repeat_is_null = false;
  std::size_t repeated_value = 0;  // where the repeated value starts in the line
  for (const ListItem& item : items) {
    if (repeats_left > 0) {
      --repeats_left;
      if (repeat_is_null) continue;
      // The value is read again for each variable, which may be of another kind.
      r_.pos_ = repeated_value;
      if (auto e = parse_value(item)) return e;
      if (repeats_left == 0) skip_after_value();
      continue;
    }
    if (!skip_to_value()) return make_error(kListInContext, kEndOfFile);
    const int c = peek();
    if (c == ',') {
      ++r_.pos_;
      continue;
    }
    if (c == '/') return std::nullopt;
    std::int64_t count = 0;
    if (auto e = scan_repeat_count(count)) return e;
    if (count > 0) {
      repeats_left = count - 1;
      repeat_is_null = ends_value(peek());
      if (repeat_is_null) {
        skip_after_value();
        continue;
      }
      repeated_value = r_.pos_;
    }
    if (auto e = parse_value(item)) return e;
    if (repeats_left == 0) skip_after_value();
  }
  return std::nullopt;
}

std::optional<ReadError> ListParser::parse_value(const ListItem& item) {
  if (auto* text = std::get_if<FixedText*>(&item)) {
    parse_text(**text);
    return std::nullopt;
  }
  // A number cannot begin with an asterisk: "*5" is a repeat count that is missing.
  if (peek() == '*') return make_error(kBadRepetitionCount, kIncomprehensibleInput);
  if (auto* integer = std::get_if<std::int64_t*>(&item)) return parse_integer(**integer);
  return parse_double(*std::get<double*>(item));
}

// Consumes an optional sign; true for a minus.
bool ListParser::scan_sign() {
  const int c = peek();
  if (!is_sign(c)) return false;
  ++r_.pos_;
  return c == '-';
}

void ListParser::scan_digits(Decimal& d, bool after_point) {
  for (int c = peek(); is_digit(c); c = peek()) {
    ++r_.pos_;
    d.any_digit = true;
    if (d.digits.empty() && c == '0') {
      if (after_point) --d.scale;  // leading zero after the point: a smaller power
      continue;
    }
    if (d.digits.size() < kSignificantDigits) {
      d.digits.push_back(static_cast<char>(c));
      if (!after_point) ++d.scale;
    } else if (!after_point) {
      ++d.scale;  // a dropped digit before the point still multiplies by ten
    }
  }
}

std::optional<ReadError> ListParser::parse_integer(std::int64_t& out) {
  const bool negative = scan_sign();
  Decimal d;
  scan_digits(d, false);
  const int c = peek();
  if (!d.any_digit) {
    if (c == '*') return make_error(kBadRepetitionCount, kIncomprehensibleInput);
    if (c == '.') return make_error(kInvalidInteger, kUnexpectedCharacter);
    return make_error(kInvalidNumber, kIncomprehensibleInput);
  }
  // A signed count ("-2*5") reaches here: unsigned counts were taken before the value.
  if (c == '*') return make_error(kBadRepetitionCount, kIncomprehensibleInput);
  if (c == '.' || is_exponent_letter(c) || is_sign(c)) {
    return make_error(kInvalidInteger, kUnexpectedCharacter);
  }
  out = truncate_to_integer(to_double(d, 0, negative));
  return std::nullopt;
}

std::optional<ReadError> ListParser::parse_double(double& out) {
  const bool negative = scan_sign();
  Decimal d;
  scan_digits(d, false);
  if (peek() == '.') {
    ++r_.pos_;
    scan_digits(d, true);
  }
  if (!d.any_digit) {
    if (peek() == '*') return make_error(kBadRepetitionCount, kIncomprehensibleInput);
    return make_error(kInvalidNumber, kIncomprehensibleInput);
  }
  std::int64_t exponent = 0;
  int c = peek();
  if (is_exponent_letter(c) || is_sign(c)) {
    if (is_exponent_letter(c)) ++r_.pos_;
    const bool exponent_negative = scan_sign();
    if (!is_digit(peek())) return make_error(kExponentField, kIncomprehensibleInput);
    bool too_large = false;
    for (c = peek(); is_digit(c); c = peek()) {
      ++r_.pos_;
      exponent = exponent * 10 + (c - '0');
      if (exponent > kExponentLimit) {
        too_large = true;
        exponent = kExponentLimit + 1;  // stays bounded however many digits follow
      }
    }
    if (too_large) return make_error(kExponentField, kIncomprehensibleInput);
    if (exponent_negative) exponent = -exponent;
  }
  if (peek() == '*') return make_error(kBadRepetitionCount, kIncomprehensibleInput);
  out = to_double(d, exponent, negative);
  return std::nullopt;
}

void ListParser::parse_text(FixedText& out) {
  // Only the first `length` characters are kept; the rest of the text is still consumed.
  std::string text;
  auto keep = [&](int c) {
    if (text.size() < out.length) text.push_back(static_cast<char>(c));
  };
  const int first = peek();
  if (is_quote(first)) {
    ++r_.pos_;
    for (int c = peek(); c != kEndOfLine; c = peek()) {
      ++r_.pos_;
      if (c == first) {
        if (peek() != first) break;  // the closing quote
        ++r_.pos_;                   // a doubled quote stands for one
      }
      keep(c);
    }
  } else {
    for (int c = peek(); !ends_value(c); c = peek()) {
      ++r_.pos_;
      keep(c);
    }
  }
  out.value = std::move(text);
  fit(out);
}

ListReader::ListReader(LineSource& source) : source_(source) {}

std::optional<ReadError> ListReader::read_list(std::span<const ListItem> items) {
  std::optional<ReadError> result = ListParser(*this).run(items);
  // Keep the length promise of every text variable, null values included.
  for (const ListItem& item : items) {
    if (auto* text = std::get_if<FixedText*>(&item)) fit(**text);
  }
  // Whatever is left of the last line read belongs to no later read.
  have_line_ = false;
  pos_ = 0;
  return result;
}

std::optional<ReadError> ListReader::read_formatted(std::size_t width, std::string& text) {
  have_line_ = false;
  pos_ = 0;
  if (!source_.next_line(line_)) return make_error(kFormattedContext, kEndOfFile);
  text.assign(line_, 0, std::min(width, line_.size()));
  text.resize(width, ' ');
  return std::nullopt;
}

bool TextLineSource::next_line(std::string& line) {
  if (pos_ >= text_.size()) return false;
  const std::size_t newline = text_.find('\n', pos_);
  std::size_t end = newline == std::string::npos ? text_.size() : newline;
  if (newline != std::string::npos && end > pos_ && text_[end - 1] == '\r') --end;
  line.assign(text_, pos_, end - pos_);
  pos_ = newline == std::string::npos ? text_.size() : newline + 1;
  ++lines_read_;
  return true;
}

namespace {

class StandardInput final : public LineSource {
 public:
  bool next_line(std::string& line) override {
    // The prompt must be on the screen before we wait for its answer.
    std::cout.flush();
    std::fflush(stdout);
    line.clear();
    bool any = false;
    for (;;) {
      errno = 0;
      const int c = std::getc(stdin);
      if (c == EOF) {
        if (std::ferror(stdin) && errno == EINTR) {
          std::clearerr(stdin);
          continue;
        }
        return any;  // a last line without a line end still counts
      }
      if (c == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
      }
      any = true;
      line.push_back(static_cast<char>(c));
    }
  }
};

}  // namespace

LineSource& standard_input() {
  static StandardInput input;
  return input;
}

}  // namespace tarven::console
