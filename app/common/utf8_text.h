#pragma once

// Text from users (labels, ids, column names) on its way into files that must be well-formed
// UTF-8: CSV read by other programs, JSON, HTML and SVG. Every output replaces what is not UTF-8
// the same way, byte by byte, so that one label reads the same in all of them.

#include <cstddef>
#include <string>
#include <string_view>

namespace tarven::common {

// Length of the well-formed UTF-8 sequence starting at text[i] (1 to 4), or 0 when the bytes there
// are not one: a stray continuation byte, an overlong form, a surrogate, a value past U+10FFFF, or
// a sequence cut short.
std::size_t utf8_sequence_length(std::string_view text, std::size_t i);

// The Unicode replacement character U+FFFD in UTF-8.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// `text` with every byte that does not belong to a well-formed sequence replaced by U+FFFD; text
// that is already UTF-8 comes back unchanged.
std::string valid_utf8(std::string_view text);

}  // namespace tarven::common
