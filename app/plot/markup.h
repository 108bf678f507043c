#pragma once

// Text for XML-family documents (SVG, and HTML written so that it is also well-formed XML), and a
// small writer of elements. Output depends only on the input: numbers never pass through a
// locale, and the same calls give the same bytes on every machine.

#include <string>
#include <string_view>
#include <vector>

namespace tarven::plot {

// Safe as element content and as a quoted attribute value; tabs and line breaks become character
// references, which keep them intact even in attributes. Bytes that would make the document
// ill-formed (control characters other than tab, line feed and carriage return; invalid UTF-8)
// become U+FFFD, so any label from a user still gives a parseable file.
std::string escape_markup(std::string_view text);

// Fixed notation with exactly `decimals` decimals (0 to 17), rounded correctly from the binary
// value, never "-0" and never an exponent. Not-a-number and infinities give "NaN", "Inf", "-Inf".
std::string format_fixed(double value, int decimals);

// As format_fixed with at most `max_decimals` decimals: trailing zeros and a bare point dropped.
std::string format_number(double value, int max_decimals = 2);

// An attribute whose value is escaped when written. Numbers are coordinates: two decimals at most.
struct Attribute {
  Attribute(std::string_view attribute_name, std::string_view text)
      : name(attribute_name), value(text) {}
  Attribute(std::string_view attribute_name, const std::string& text)
      : name(attribute_name), value(text) {}
  Attribute(std::string_view attribute_name, const char* text)
      : name(attribute_name), value(text) {}
  Attribute(std::string_view attribute_name, double number)
      : name(attribute_name), value(format_number(number)) {}
  Attribute(std::string_view attribute_name, int number)
      : name(attribute_name), value(std::to_string(number)) {}

  std::string_view name;
  std::string value;
};

using Attributes = std::vector<Attribute>;

// Writes elements one per line, indented by depth. Tags and attribute names are the caller's
// literals; attribute values and text are escaped here.
class MarkupWriter {
 public:
  void open(std::string_view tag, const Attributes& attributes = {});
  void close();                                                        // the innermost open element
  void leaf(std::string_view tag, const Attributes& attributes = {});  // <tag .../>
  // Always an open and a close tag, even when text is empty: HTML has no self-closing <td/>.
  void text_element(std::string_view tag, const Attributes& attributes, std::string_view text);
  // Markup that is already well-formed (a chart inside a page), written as it is.
  void raw(std::string_view markup);
  std::string finish();  // closes what is still open and hands over the text

 private:
  void start_tag(std::string_view tag, const Attributes& attributes);

  std::string out_;
  std::vector<std::string> open_;
};

}  // namespace tarven::plot
