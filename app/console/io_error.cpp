#include "console/io_error.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace tarven::console {

namespace {

void (*report_closer)() = nullptr;
// Set once the closer has been started: a closer whose own flush fails reports through
// io_error_stop again, and must not be re-entered.
bool closing = false;

}  // namespace

std::string format_io_error(const ReadError& error, const UnitState& unit,
                            std::string_view last_format, bool writing) {
  std::string text;
  text += error.context;
  text += ": ";
  text += error.reason;
  text += "\napparent state: unit ";
  text += std::to_string(unit.unit);
  const bool console_unit = unit.unit == 0 || unit.unit == 5 || unit.unit == 6;
  text += console_unit ? std::string(" (unnamed)") : " named " + unit.name;
  text += "\nlast format: ";
  text += last_format;
  text += "\nlately ";
  text += writing ? "writing" : "reading";
  text += " sequential formatted external IO\n";
  return text;
}

void io_error_stop(const ReadError& error, const UnitState& unit, std::string_view last_format,
                   bool writing) {
  // abort() does not flush stdio: console lines written so far would be lost.
  std::cout.flush();
  std::fflush(stdout);
  const std::string text = format_io_error(error, unit, last_format, writing);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
  if (!closing) {
    closing = true;
    if (report_closer != nullptr) report_closer();
  }
  std::abort();
}

void set_report_closer(void (*closer)()) {
  report_closer = closer;
}

}  // namespace tarven::console
