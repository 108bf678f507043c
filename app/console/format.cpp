#include "console/format.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

namespace tarven::console {
namespace {

// ---------------------------------------------------------------------------------------------
// Field rendering

void append_stars(std::string& out, int width) {
  if (width > 0) out.append(static_cast<std::size_t>(width), '*');
}

// Right-justifies `body` (with an optional leading minus) in `width` columns; asterisks when it
// does not fit.
void append_justified(std::string& out, int width, bool minus, std::string_view body) {
  const std::size_t count = body.size() + (minus ? 1 : 0);
  if (width < 0 || count > static_cast<std::size_t>(width)) {
    append_stars(out, width);
    return;
  }
  out.append(static_cast<std::size_t>(width) - count, ' ');
  if (minus) out.push_back('-');
  out.append(body);
}

// Not-a-number and infinities have no digits to show; they get a short readable word instead so
// that a broken computation is visible in the report without stopping the run.
bool append_non_finite(std::string& out, int width, double value) {
  if (std::isnan(value)) {
    append_justified(out, width, false, "NaN");
    return true;
  }
  if (std::isinf(value)) {
    append_justified(out, width, value < 0.0, "Inf");
    return true;
  }
  return false;
}

void append_integer(std::string& out, int width, int value) {
  char buf[16];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  if (ec != std::errc{}) {
    append_stars(out, width);
    return;
  }
  append_justified(out, width, false, std::string_view(buf, static_cast<std::size_t>(end - buf)));
}

void append_fixed(std::string& out, int width, int decimals, double value) {
  if (append_non_finite(out, width, value)) return;
  // Even without its leading zero the string needs the point and all decimals.
  if (decimals < 0 || width < 0 || decimals + 1 > width) {
    append_stars(out, width);
    return;
  }
  bool minus = value < 0.0;  // false for both zeros
  const double magnitude = std::fabs(value);

  // Enough room for the 309 integer digits of the largest double, the point and the decimals.
  std::string digits(static_cast<std::size_t>(decimals) + 320, '\0');
  const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), magnitude,
                                       std::chars_format::fixed, decimals);
  if (ec != std::errc{}) {
    append_stars(out, width);
    return;
  }
  digits.resize(static_cast<std::size_t>(end - digits.data()));
  if (decimals == 0) digits.push_back('.');  // the point is always written

  if (minus && digits.find_first_not_of("0.") == std::string::npos) minus = false;

  std::string_view body = digits;
  const std::size_t count = body.size() + (minus ? 1 : 0);
  if (count > static_cast<std::size_t>(width) && body.front() == '0' &&
      count - 1 == static_cast<std::size_t>(width)) {
    body.remove_prefix(1);
  }
  append_justified(out, width, minus, body);
}

void append_exponent_form(std::string& out, int width, int digits_wanted, double value) {
  if (append_non_finite(out, width, value)) return;
  if (digits_wanted < 1 || width < 0) {  // a mantissa needs at least one digit
    append_stars(out, width);
    return;
  }
  const bool minus = value < 0.0;  // false for both zeros
  const double magnitude = std::fabs(value);

  int spare = width - (digits_wanted + 5) - (minus ? 1 : 0);
  const bool leading_zero = spare > 0;
  if (leading_zero) --spare;
  if (spare < 0) {
    append_stars(out, width);
    return;
  }

  std::string mantissa;
  int exponent = 0;
  if (magnitude == 0.0) {
    mantissa.assign(static_cast<std::size_t>(digits_wanted), '0');
  } else {
    // d.ddd...e+xx: digits_wanted digits, the point, and at most "e-324".
    std::string sci(static_cast<std::size_t>(digits_wanted) + 16, '\0');
    const auto [end, ec] = std::to_chars(sci.data(), sci.data() + sci.size(), magnitude,
                                         std::chars_format::scientific, digits_wanted - 1);
    if (ec != std::errc{}) {
      append_stars(out, width);
      return;
    }
    sci.resize(static_cast<std::size_t>(end - sci.data()));
    const std::size_t e = sci.find('e');
    for (std::size_t i = 0; i < e; ++i) {
      if (sci[i] != '.') mantissa.push_back(sci[i]);
    }
    int decimal_exponent = 0;
    const char* first = sci.data() + e + 1;
    if (*first == '+') ++first;
    std::from_chars(first, sci.data() + sci.size(), decimal_exponent);
    exponent = decimal_exponent + 1;  // mantissa moved to [0.1, 1)
  }

  char exp_text[8];
  const int exp_magnitude = exponent < 0 ? -exponent : exponent;
  if (exp_magnitude > 999) {  // cannot happen for a double, but never write a wider field
    append_stars(out, width);
    return;
  }
  const char sign = exponent < 0 ? '-' : '+';
  if (exp_magnitude >= 100) {
    exp_text[0] = sign;
    exp_text[1] = static_cast<char>('0' + exp_magnitude / 100);
    exp_text[2] = static_cast<char>('0' + exp_magnitude / 10 % 10);
    exp_text[3] = static_cast<char>('0' + exp_magnitude % 10);
  } else {
    exp_text[0] = 'E';
    exp_text[1] = sign;
    exp_text[2] = static_cast<char>('0' + exp_magnitude / 10);
    exp_text[3] = static_cast<char>('0' + exp_magnitude % 10);
  }

  out.append(static_cast<std::size_t>(spare), ' ');
  if (minus) out.push_back('-');
  if (leading_zero) out.push_back('0');
  out.push_back('.');
  out.append(mantissa);
  out.append(exp_text, 4);
}

// Aw on output: a shorter text is right-justified, a longer one cut to its first w characters.
void append_text(std::string& out, int width, bool has_width, std::string_view text) {
  if (!has_width) {
    out.append(text);
    return;
  }
  if (width < 0) return;
  const auto w = static_cast<std::size_t>(width);
  if (text.size() >= w) {
    out.append(text.substr(0, w));
  } else {
    out.append(w - text.size(), ' ');
    out.append(text);
  }
}

// ---------------------------------------------------------------------------------------------
// Format text

struct Item {
  enum class Kind { kLiteral, kInteger, kFixed, kExponent, kText, kBlanks, kSlash, kGroup };
  Kind kind = Kind::kLiteral;
  int repeat = 1;
  int width = 0;
  int decimals = 0;
  bool has_width = false;
  std::string literal;
  std::vector<Item> children;
};

bool has_data(const std::vector<Item>& items, std::size_t from) {
  for (std::size_t i = from; i < items.size(); ++i) {
    const Item& item = items[i];
    if (item.repeat == 0) continue;
    switch (item.kind) {
      case Item::Kind::kInteger:
      case Item::Kind::kFixed:
      case Item::Kind::kExponent:
      case Item::Kind::kText:
        return true;
      case Item::Kind::kGroup:
        if (has_data(item.children, 0)) return true;
        break;
      default:
        break;
    }
  }
  return false;
}

// Reads the format text into items. The program's formats are constants, so a malformed text is
// a programming fault: parsing stops there and the items read so far are still written, which
// shows the fault in the output without ending the run.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::vector<Item> parse() {
    std::vector<Item> items;
    skip_blanks();
    if (!eat('(')) return items;
    parse_list(items, 0);
    return items;
  }

 private:
  static constexpr int kMaxDepth = 64;
  static constexpr long long kMaxNumber = std::numeric_limits<int>::max();

  void skip_blanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return at_end() ? '\0' : text_[pos_]; }
  bool eat(char c) {
    if (peek() != c) return false;
    ++pos_;
    return true;
  }
  static bool is_digit(char c) { return c >= '0' && c <= '9'; }

  // Unsigned decimal number; -1 when there is none or it is out of range.
  int number() {
    if (!is_digit(peek())) return -1;
    long long n = 0;
    while (is_digit(peek())) {
      n = n * 10 + (text_[pos_++] - '0');
      if (n > kMaxNumber) {
        failed_ = true;
        return -1;
      }
    }
    return static_cast<int>(n);
  }

  // Returns true at the closing parenthesis of this list; false when the text is malformed.
  bool parse_list(std::vector<Item>& items, int depth) {
    if (depth > kMaxDepth) return false;
    while (!failed_) {
      skip_blanks();
      if (at_end()) return false;
      if (eat(')')) return true;
      if (eat(',')) continue;
      Item item;
      if (!parse_item(item, depth)) return false;
      items.push_back(std::move(item));
    }
    return false;
  }

  bool parse_item(Item& item, int depth) {
    const int count = number();
    if (failed_) return false;
    skip_blanks();
    const char c = peek();
    if (c == '\'') {
      ++pos_;
      item.kind = Item::Kind::kLiteral;
      for (;;) {
        if (at_end()) return false;
        const char ch = text_[pos_++];
        if (ch == '\'') {
          if (!eat('\'')) break;  // a doubled apostrophe stands for one
        }
        item.literal.push_back(ch);
      }
      item.repeat = count < 0 ? 1 : count;
      return true;
    }
    if (c == '(') {
      ++pos_;
      item.kind = Item::Kind::kGroup;
      item.repeat = count < 0 ? 1 : count;
      return parse_list(item.children, depth + 1);
    }
    if (c == '/') {
      ++pos_;
      item.kind = Item::Kind::kSlash;
      item.repeat = count < 0 ? 1 : count;
      return true;
    }
    ++pos_;
    switch (c) {
      case 'X':
      case 'x':
        item.kind = Item::Kind::kBlanks;
        item.repeat = count < 0 ? 1 : count;
        return true;
      case 'A':
      case 'a':
        item.kind = Item::Kind::kText;
        item.repeat = count < 0 ? 1 : count;
        item.width = number();
        item.has_width = item.width >= 0;
        return !failed_;
      case 'I':
      case 'i':
        item.kind = Item::Kind::kInteger;
        break;
      case 'F':
      case 'f':
        item.kind = Item::Kind::kFixed;
        break;
      case 'D':
      case 'd':
        item.kind = Item::Kind::kExponent;
        break;
      default:
        return false;
    }
    item.repeat = count < 0 ? 1 : count;
    item.width = number();
    if (item.width < 0) return false;
    item.has_width = true;
    if (item.kind == Item::Kind::kInteger) return true;
    if (!eat('.')) return false;
    item.decimals = number();
    return item.decimals >= 0;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

// Writes items left to right, one line at a time into `out`.
class Writer {
 public:
  explicit Writer(std::span<const FormatValue> values) : values_(values) {}

  void run(const std::vector<Item>& items) {
    if (!run_items(items, 0)) {
      end_line();
      return;
    }
    // More values than data fields: start a new line and go on from the last top-level group
    // (or from the start), as a record-oriented writer does, rather than lose values.
    std::size_t restart = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i].kind == Item::Kind::kGroup) restart = i;
    }
    while (next_ < values_.size() && has_data(items, restart)) {
      const std::size_t before = next_;
      end_line();
      if (!run_items(items, restart) || next_ == before) break;
    }
    end_line();
  }

  std::string take() { return std::move(out_); }

 private:
  void end_line() {
    out_.push_back('\n');
    pending_blanks_ = 0;
  }
  void flush_blanks() {
    out_.append(pending_blanks_, ' ');
    pending_blanks_ = 0;
  }

  // False once a data field found no value left: the write stops there.
  bool run_items(const std::vector<Item>& items, std::size_t from) {
    for (std::size_t i = from; i < items.size(); ++i) {
      const Item& item = items[i];
      if (item.kind == Item::Kind::kBlanks) {
        pending_blanks_ += static_cast<std::size_t>(item.repeat);
        continue;
      }
      for (int r = 0; r < item.repeat; ++r) {
        if (!run_item(item)) return false;
      }
    }
    return true;
  }

  bool run_item(const Item& item) {
    switch (item.kind) {
      case Item::Kind::kLiteral:
        flush_blanks();
        out_.append(item.literal);
        return true;
      case Item::Kind::kSlash:
        end_line();
        return true;
      case Item::Kind::kBlanks:  // counted whole by run_items
        return true;
      case Item::Kind::kGroup:
        return run_items(item.children, 0);
      default:
        break;
    }
    if (next_ >= values_.size()) return false;
    flush_blanks();
    const FormatValue& value = values_[next_++];
    switch (item.kind) {
      case Item::Kind::kInteger:
        if (const int* v = std::get_if<int>(&value)) {
          append_integer(out_, item.width, *v);
        } else {
          append_stars(out_, item.width);
        }
        break;
      case Item::Kind::kFixed:
        if (const double* v = std::get_if<double>(&value)) {
          append_fixed(out_, item.width, item.decimals, *v);
        } else {
          append_stars(out_, item.width);
        }
        break;
      case Item::Kind::kExponent:
        if (const double* v = std::get_if<double>(&value)) {
          append_exponent_form(out_, item.width, item.decimals, *v);
        } else {
          append_stars(out_, item.width);
        }
        break;
      default:  // text
        if (const std::string_view* v = std::get_if<std::string_view>(&value)) {
          append_text(out_, item.width, item.has_width, *v);
        } else {
          append_stars(out_, item.has_width ? item.width : 1);
        }
        break;
    }
    return true;
  }

  std::span<const FormatValue> values_;
  std::size_t next_ = 0;
  std::size_t pending_blanks_ = 0;
  std::string out_;
};

}  // namespace

std::string render(std::string_view format, std::span<const FormatValue> values) {
  const std::vector<Item> items = Parser(format).parse();
  Writer writer(values);
  writer.run(items);
  return writer.take();
}

std::string render(std::string_view format, std::initializer_list<FormatValue> values) {
  return render(format, std::span<const FormatValue>(values.begin(), values.size()));
}

std::string free_form(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 2);
  line.push_back(' ');
  line.append(text);
  line.push_back('\n');
  return line;
}

}  // namespace tarven::console
