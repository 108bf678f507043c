#pragma once

// Destinations of whole lines. A unit receives text that is already complete lines and hands it to
// its stream in one piece, so a line is never split between two writes.

#include <initializer_list>
#include <string_view>

#include "console/format.h"

namespace tarven::console {

class OutputUnit {  // one unit: console, report file or standard error
 public:
  virtual ~OutputUnit() = default;
  virtual void put(std::string_view text) = 0;  // text = one or more complete lines
  // The same, for text rendered under `format`: a unit that reports its write errors names the
  // format of the failed write.
  virtual void put_formatted(std::string_view text, std::string_view /*format*/) { put(text); }
};

// Standard output (unit 6). Flushed after every put so that a prompt is on the terminal before the
// program waits for its answer.
OutputUnit& console_unit();
// Standard error (unit 0).
OutputUnit& error_unit();

// Convenience: put(render(format, values)) to a unit.
void write(OutputUnit& unit, std::string_view format, std::initializer_list<FormatValue> values);

}  // namespace tarven::console
