// Console reader of unit 5: free-form ("list") reads of a fixed list of variables and the
// formatted one-line reads under "(a)" and "(a1)".
//
// Every read starts on a fresh input line and throws away what is left of its last line when it
// ends, so a read never looks at input typed for the next question. A failed read returns the
// context and reason of the run-time I/O error report (io/io_error.h); the caller stops the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace tarven::console {

// Context and reason of a failed read, e.g. {"invalid integer", "read unexpected character"}.
struct ReadError {
  std::string context;
  std::string reason;
  friend bool operator==(const ReadError&, const ReadError&) = default;
};

// The reasons and contexts a read can fail with.
inline constexpr std::string_view kEndOfFile = "end of file";
inline constexpr std::string_view kListInContext = "list in";  // end of input, free-form read
inline constexpr std::string_view kFormattedContext = "fmt";   // end of input, "(a)"/"(a1)"
inline constexpr std::string_view kInvalidInteger = "invalid integer";
inline constexpr std::string_view kInvalidNumber = "invalid number";
inline constexpr std::string_view kBadRepetitionCount = "bad repetition count";
inline constexpr std::string_view kExponentField = "exponent field";
inline constexpr std::string_view kUnexpectedCharacter = "read unexpected character";
inline constexpr std::string_view kIncomprehensibleInput = "incomprehensible list input";

// Integer answers are stored as the truncated value of the digits read as a double, clamped to
// +-2^62, so that the dialogue can refuse values beyond 32 bits instead of seeing them wrapped.
inline constexpr std::int64_t kIntegerClamp = std::int64_t{1} << 62;

// A text variable of fixed length: after every read `value` has exactly `length` characters
// (cut, or filled with blanks on the right).
struct FixedText {
  std::string value;
  std::size_t length;
};

// One variable of a free-form read. A null value (a comma, a slash, "r*") leaves it unchanged.
using ListItem = std::variant<std::int64_t*, double*, FixedText*>;

class LineSource {
 public:
  virtual ~LineSource() = default;
  // The next input line without its line end ("\n", or "\r\n" whose carriage return belongs to
  // the line end); false at the end of the input.
  virtual bool next_line(std::string& line) = 0;
};

// Lines of a text held in memory (tests, fuzzing, scripted answers). The text is split like
// standard input: at each '\n', a '\r' directly before it dropped; a last line without '\n'
// still counts, an empty text has no lines.
class TextLineSource final : public LineSource {
 public:
  explicit TextLineSource(std::string text) : text_(std::move(text)) {}
  bool next_line(std::string& line) override;
  // How many lines were handed out so far (lets tests check that reads never look ahead).
  std::size_t lines_read() const { return lines_read_; }

 private:
  std::string text_;
  std::size_t pos_ = 0;
  std::size_t lines_read_ = 0;
};

class ListReader {
 public:
  explicit ListReader(LineSource& source);

  // Free-form read of `items` in order. Blanks, tabs and line ends separate values (an empty
  // line completes nothing); a comma is a null value, a slash ends the read; "r*value" and "r*"
  // repeat a value or a null. A quoted text ends at its closing quote or at the line end (an
  // unclosed quote takes the rest of the line): an answer never spans lines. With no items the
  // read consumes one line. On failure the variables filled before the error keep their new
  // values.
  std::optional<ReadError> read_list(std::span<const ListItem> items);

  // Formatted read under "(a)" (width 14) or "(a1)" (width 1): the first `width` characters of
  // the next line, filled with blanks; the rest of the line is discarded.
  std::optional<ReadError> read_formatted(std::size_t width, std::string& text);

 private:
  LineSource& source_;
  std::string line_;
  std::size_t pos_ = 0;
  bool have_line_ = false;

  friend class ListParser;
};

// Unit 5: standard input, read line by line only when a read needs the next line. Lines may be
// of any length. A read error counts as the end of the input.
LineSource& standard_input();

}  // namespace tarven::console
