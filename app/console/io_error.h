// The run-time I/O error report: the four lines on standard error that end a run whose console
// read, report open or report write failed, followed by an abnormal end.
#pragma once

#include <string>
#include <string_view>

#include "console/list_reader.h"

namespace tarven::console {

// The unit the failed operation addressed: 5 for the console input, 1 for the report file,
// 0 for standard error. A console unit shows as "(unnamed)", the report file as "named <name>",
// even when the name is empty (an all-blank answer to the file-name question).
struct UnitState {
  int unit;
  std::string name;
};

// The "last format" of a free-form read.
inline constexpr std::string_view kListFormat = "list io";

// The four lines, each ended by '\n':
//   "<context>: <reason>"
//   "apparent state: unit <n> (unnamed)"   or   "apparent state: unit <n> named <name>"
//   "last format: <format>"
//   "lately reading sequential formatted external IO"   ("writing" for a write)
std::string format_io_error(const ReadError& error, const UnitState& unit,
                            std::string_view last_format, bool writing);

// Flushes standard output (console lines written so far must not be lost), writes the four lines
// on standard error, runs the registered report closer once (flush, cut, close), then
// std::abort(). A closer that fails and reports its own error through io_error_stop does not
// run again: the second report is written and the process aborts.
[[noreturn]] void io_error_stop(const ReadError& error, const UnitState& unit,
                                std::string_view last_format, bool writing);

// The closer run before the abort; nullptr for none.
void set_report_closer(void (*closer)());

}  // namespace tarven::console
