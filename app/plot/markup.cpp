#include "plot/markup.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <version>

#include "common/utf8_text.h"

namespace tarven::plot {

using common::kReplacementCharacter;
using common::utf8_sequence_length;

std::string escape_markup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    switch (c) {
      case '&':
        out += "&amp;";
        ++i;
        continue;
      case '<':
        out += "&lt;";
        ++i;
        continue;
      case '>':
        out += "&gt;";
        ++i;
        continue;
      case '"':
        out += "&quot;";
        ++i;
        continue;
      case '\'':
        out += "&#39;";
        ++i;
        continue;
      // As references, line breaks and tabs survive the normalisation parsers apply to attributes.
      case '\t':
        out += "&#9;";
        ++i;
        continue;
      case '\n':
        out += "&#10;";
        ++i;
        continue;
      case '\r':
        out += "&#13;";
        ++i;
        continue;
      default:
        break;
    }
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte < 0x20) {
      out += kReplacementCharacter;
      ++i;
      continue;
    }
    const std::size_t length = utf8_sequence_length(text, i);
    if (length == 0) {
      out += kReplacementCharacter;
      ++i;
      continue;
    }
    out.append(text, i, length);
    i += length;
  }
  return out;
}

std::string format_fixed(double value, int decimals) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  if (decimals < 0) decimals = 0;
  if (decimals > 17) decimals = 17;
  // The largest double has 309 integer digits.
  char buffer[309 + 1 + 17 + 2];
#if defined(__cpp_lib_to_chars)
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string text(buffer, result.ptr);
#else
  // The WebAssembly toolchain's standard library has no floating-point to_chars. Its printf rounds
  // the binary value correctly too, and there no locale can change the decimal point.
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text(buffer);
#endif
  // A negative value that rounds to zero would read "-0.00".
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string format_number(double value, int max_decimals) {
  std::string text = format_fixed(value, max_decimals);
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

void MarkupWriter::start_tag(std::string_view tag, const Attributes& attributes) {
  out_.append(2 * open_.size(), ' ');
  out_ += '<';
  out_ += tag;
  for (const Attribute& attribute : attributes) {
    out_ += ' ';
    out_ += attribute.name;
    out_ += "=\"";
    out_ += escape_markup(attribute.value);
    out_ += '"';
  }
}

void MarkupWriter::open(std::string_view tag, const Attributes& attributes) {
  start_tag(tag, attributes);
  out_ += ">\n";
  open_.emplace_back(tag);
}

void MarkupWriter::close() {
  if (open_.empty()) return;
  const std::string tag = std::move(open_.back());
  open_.pop_back();
  out_.append(2 * open_.size(), ' ');
  out_ += "</" + tag + ">\n";
}

void MarkupWriter::leaf(std::string_view tag, const Attributes& attributes) {
  start_tag(tag, attributes);
  out_ += "/>\n";
}

void MarkupWriter::text_element(std::string_view tag, const Attributes& attributes,
                                std::string_view text) {
  start_tag(tag, attributes);
  out_ += '>';
  out_ += escape_markup(text);
  out_ += "</";
  out_ += tag;
  out_ += ">\n";
}

void MarkupWriter::raw(std::string_view markup) {
  out_ += markup;
  if (!markup.empty() && markup.back() != '\n') out_ += '\n';
}

std::string MarkupWriter::finish() {
  while (!open_.empty()) close();
  return std::move(out_);
}

}  // namespace tarven::plot
