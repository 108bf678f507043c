// Arbitrary bytes as console input, read under every kind of variable list the program uses and
// a few it does not. Besides crashes and sanitizer findings, the run stops on a broken promise of
// the reader: a text of the wrong length, a read that consumes no line, an error outside the
// known ones, an integer beyond the clamp, a NaN, or two readings of one input that differ.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "console/list_reader.h"

namespace {

using tarven::console::FixedText;
using tarven::console::ListItem;
using tarven::console::ListReader;
using tarven::console::ReadError;
using tarven::console::TextLineSource;

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "reader invariant broken: %s\n", what);
  std::abort();
}

void check(bool ok, const char* what) {
  if (!ok) broken(what);
}

bool known_error(const ReadError& e) {
  using namespace tarven::console;
  const std::string_view context = e.context;
  const std::string_view reason = e.reason;
  if (reason == kEndOfFile) return context == kListInContext || context == kFormattedContext;
  if (reason == kUnexpectedCharacter) return context == kInvalidInteger;
  return reason == kIncomprehensibleInput &&
         (context == kInvalidNumber || context == kBadRepetitionCount || context == kExponentField);
}

// Sessions of reads on one input, repeated until the input ends. Each read is a free-form read
// of a layout ('i' integer, 'd' double, 'a' text of length 1, 'n' text of length 14, 'w' text
// of length 40, "" no variables) or a formatted read ("A" width 14, "B" width 1).
constexpr std::string_view kSessions[][4] = {
    {"i", "i", "i", "i"},         {"d", "dd", "d", "a"}, {"a", "n", "a", "n"},
    {"A", "B", "i", "d"},         {"iddaw", "ni", "w"},  {"A", "iiid", "dd", "a"},
    {"didi", "aaaa", "nnnn", ""}, {"B", "A", "B", "A"},
};

// Everything a session produced, to compare two runs over the same input.
struct Trace {
  std::vector<std::string> events;
  bool operator==(const Trace&) const = default;
};

constexpr std::int64_t kIntStart = 123456789;
constexpr double kDoubleStart = -0.25;

// True when the read met the end of the input.
bool run_layout(ListReader& reader, std::string_view layout, Trace& trace) {
  std::vector<std::int64_t> ints(layout.size(), kIntStart);
  std::vector<double> doubles(layout.size(), kDoubleStart);
  std::vector<FixedText> texts;
  texts.reserve(layout.size());
  std::vector<ListItem> items;
  for (std::size_t k = 0; k < layout.size(); ++k) {
    switch (layout[k]) {
      case 'i':
        items.emplace_back(&ints[k]);
        break;
      case 'd':
        items.emplace_back(&doubles[k]);
        break;
      default: {
        const std::size_t length = layout[k] == 'a' ? 1 : layout[k] == 'n' ? 14 : 40;
        // Start some texts at the wrong length: the reader must repair them too.
        items.emplace_back(&texts.emplace_back(FixedText{std::string(k % 3, 'q'), length}));
      }
    }
  }
  const auto error = reader.read_list(items);
  if (error) {
    check(known_error(*error), "unknown error context or reason");
    trace.events.push_back(error->context + ": " + error->reason);
  }
  for (const ListItem& item : items) {
    if (auto* i = std::get_if<std::int64_t*>(&item)) {
      check(**i <= tarven::console::kIntegerClamp && **i >= -tarven::console::kIntegerClamp,
            "integer beyond the clamp");
      trace.events.push_back(std::to_string(**i));
    } else if (auto* d = std::get_if<double*>(&item)) {
      check(!std::isnan(**d), "NaN read");
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "%a", **d);
      trace.events.emplace_back(buffer);
    } else {
      const FixedText& text = *std::get<FixedText*>(item);
      check(text.value.size() == text.length, "text of the wrong length");
      trace.events.push_back(text.value);
    }
  }
  return error && error->context == tarven::console::kListInContext;
}

Trace run_session(const std::string& input, const std::string_view (&session)[4],
                  std::size_t line_count) {
  TextLineSource source(input);
  ListReader reader(source);
  Trace trace;
  // Every read takes at least one line (or fails at the end of the input), so a session ends.
  for (std::size_t round = 0; round <= line_count + 1; ++round) {
    const std::string_view layout = session[round % 4];
    const std::size_t before = source.lines_read();
    if (layout == "A" || layout == "B") {
      const std::size_t width = layout == "A" ? 14 : 1;
      std::string text = "unchanged";
      const auto error = reader.read_formatted(width, text);
      if (error) {
        check(error->context == "fmt" && error->reason == "end of file", "formatted read error");
        return trace;
      }
      check(text.size() == width, "formatted text of the wrong width");
      trace.events.push_back(text);
    } else {
      if (run_layout(reader, layout, trace)) return trace;
    }
    check(source.lines_read() > before, "a read that consumed no line");
  }
  broken("more reads succeeded than the input has lines");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t line_count = 0;
  {
    TextLineSource counter(input);
    for (std::string line; counter.next_line(line);) ++line_count;
  }
  for (const auto& session : kSessions) {
    const Trace first = run_session(input, session, line_count);
    check(run_session(input, session, line_count) == first, "two readings of one input differ");
  }
  return 0;
}
