#pragma once

// Reading back what the plot code writes: documents through libxml2 (the parser behind xmllint),
// axes through their tick marks, pictures through libpng.

#include <libxml/tree.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "plot/curve_chart.h"
#include "tests/test_files.h"

namespace tarven::plot::testing {

// A parsed document. XPath expressions may use the prefixes s (SVG) and h (XHTML).
class XmlDoc {
 public:
  explicit XmlDoc(const std::string& text);
  ~XmlDoc();
  XmlDoc(const XmlDoc&) = delete;
  XmlDoc& operator=(const XmlDoc&) = delete;

  bool well_formed() const { return doc_ != nullptr && error_.empty(); }
  const std::string& error() const { return error_; }  // the parser's first complaint

  std::vector<xmlNodePtr> nodes(const std::string& xpath, xmlNodePtr context = nullptr) const;

 private:
  xmlDocPtr doc_ = nullptr;
  std::string error_;
};

std::string attr(xmlNodePtr node, const char* name);  // "" when absent
double number_attr(xmlNodePtr node, const char* name);
std::string text_of(xmlNodePtr node);

// pixel = offset + slope * value, fitted through the outermost labelled ticks of an axis group
// (the g.x-axis or g.y-axis that the charts write): what a reader does with a ruler.
struct AxisMap {
  double offset = 0;
  double slope = 1;
  double pixel(double value) const { return offset + slope * value; }
  double value(double pixel) const { return (pixel - offset) / slope; }
};
AxisMap read_axis(const XmlDoc& doc, xmlNodePtr axis_group, bool horizontal);

// Rates over a selection ratio: two facets, four groups, points out of x order, and in every
// curve one not-a-number that must be left out.
CurveChart sample_curve_chart();

using TempDir = testing_support::ScratchDirectory;

std::vector<std::string> lines(const std::string& text);

// Writes the file and expects `xmllint --noout` to find it well-formed.
void write_checked(const std::filesystem::path& file, const std::string& text);

// The output of `xmllint --noout` on the file ("" when it is well-formed), or why it could not run.
std::string xmllint_complaints(const std::filesystem::path& file);

struct Rgba {
  std::uint8_t r, g, b, a;
};
struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgba> pixels;  // row by row
};
Image read_png(const std::filesystem::path& file);  // empty when unreadable

// Pixels within `tolerance` (per channel) of the colour written as "#RRGGBB".
int count_colour(const Image& image, const std::string& hex, int tolerance = 12);
// Pixels that are not near-white.
int count_ink(const Image& image);

// Headless Chromium, when installed (Debian package chromium).
std::optional<std::filesystem::path> find_chromium();

#define SKIP_WITHOUT_CHROMIUM()                                                             \
  const auto chromium = ::tarven::plot::testing::find_chromium();                           \
  if (!chromium)                                                                            \
  GTEST_SKIP() << "no chromium at /usr/bin/chromium or on PATH (Debian package chromium); " \
                  "the browser tests need it"

struct Visit {
  std::vector<std::string> console;  // what the page wrote to the browser's console
  Image screenshot;
  std::string failure;  // why the browser gave no screenshot, "" when it did
};

// One visit of a file in a fresh profile, with a screenshot.
Visit visit(const std::filesystem::path& chromium, const std::filesystem::path& file,
            const TempDir& dir);

}  // namespace tarven::plot::testing
