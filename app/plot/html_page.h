#pragma once

// A report as one self-contained HTML5 page: inline CSS, charts inlined as SVG, no scripts and no
// reference to any other file, so that it can be mailed or archived as it is. The markup is also
// well-formed XML, which lets any XML parser check it.

#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tarven::plot {

struct Paragraph {
  std::string text;
};

// Key/value pairs of a run's summary: "Applicants" / "10".
struct SummaryTable {
  std::vector<std::pair<std::string, std::string>> rows;
};

// A table of results. Columns whose every cell is a number (or NA) are right-aligned.
struct DataTable {
  std::string caption;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  // When above 0, numbers with a fraction or an exponent are shown to this many significant
  // digits, with the text as given in the cell's tooltip; whole numbers are shown as given.
  int significant_digits = 0;
};

// `svg` must be a whole SVG document as the chart functions return it; it is inlined unchanged.
struct Figure {
  std::string svg;
  std::string caption;
};

// Terms and what they mean.
struct Definitions {
  std::vector<std::pair<std::string, std::string>> items;
};

using Block = std::variant<Paragraph, SummaryTable, DataTable, Figure, Definitions>;

struct Section {
  std::string heading;
  std::vector<Block> blocks;
};

struct HtmlPage {
  bool wide = false;  // as wide as the window, for tables of many columns
  std::string title;
  std::string subtitle;
  std::vector<Section> sections;
  std::string footer;
};

// Every text is escaped; only Figure::svg is written as markup.
std::string html_page(const HtmlPage& page);

}  // namespace tarven::plot
