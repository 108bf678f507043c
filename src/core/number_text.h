#pragma once

// Numbers as the library writes them into messages and column names: the shortest text that reads
// back as the same double, as std::to_chars writes it. Some standard libraries (the one the
// WebAssembly toolchain ships) have no floating-point std::to_chars; there the same text is found
// through printf and strtod, which the tests hold to std::to_chars digit for digit.

#include <string>

namespace tarven::core {

// Fixed or scientific notation, whichever is shorter (fixed on a tie): "0.05", "1e-06", "300".
std::string shortest_text(double v);
// Fixed notation only: "0.000001".
std::string shortest_fixed_text(double v);

// The same through printf and strtod, whatever the standard library has; for the tests.
std::string shortest_text_portable(double v);
std::string shortest_fixed_text_portable(double v);

}  // namespace tarven::core
