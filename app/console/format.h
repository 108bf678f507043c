#pragma once

// The formatted writer: values rendered under a format text in the field-code notation
// ('literal', Iw, Fw.d, Dw.d, A, nX, /, repeat counts on fields and parenthesised groups).
// The text is interpreted at every write, so each line layout is one constant (io/formats.h).

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace tarven::console {

using FormatValue = std::variant<int, double, std::string_view>;

// Renders the values under a format text; returns the whole text, every line ended by '\n'.
// Rendering stops at the first data field with no value left; the current line is always ended.
// A value wider than its field fills it with asterisks. A value of the wrong kind for its field
// (a text under I, say) is a caller's fault and is also shown as asterisks rather than guessed.
// Not-a-number and infinities in F and D fields are written right-justified as "NaN", "Inf" or
// "-Inf" (asterisks when the field is narrower than that).
std::string render(std::string_view format, std::initializer_list<FormatValue> values);
std::string render(std::string_view format, std::span<const FormatValue> values);

// A free-form console line: one blank, the text, '\n'.
std::string free_form(std::string_view text);

}  // namespace tarven::console
