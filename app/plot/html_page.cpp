#include "plot/html_page.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "plot/markup.h"

namespace tarven::plot {
namespace {

// No '<', '&' or quotes inside: the text goes out unescaped, as the content of <style> must.
constexpr std::string_view kStyleSheet = R"(
body { margin: 0; background: #FFFFFF; color: #222222;
  font: 15px/1.5 Helvetica, Arial, "DejaVu Sans", sans-serif; }
header, main, footer { max-width: 1100px; margin: 0 auto; padding: 0 24px; }
body.wide header, body.wide main, body.wide footer { max-width: none; }
header { padding-top: 24px; }
h1 { font-size: 26px; line-height: 1.25; margin: 0 0 4px; }
.subtitle { color: #555555; margin: 0 0 12px; }
h2 { font-size: 19px; margin: 32px 0 10px; padding-bottom: 4px; border-bottom: 1px solid #DDDDDD; }
p { max-width: 75ch; }
.table-wrap { overflow: auto; max-height: 85vh; margin: 12px 0; }
table { border-collapse: collapse; margin: 12px 0; font-variant-numeric: tabular-nums; }
.table-wrap table { margin: 0; }
caption { text-align: left; font-weight: bold; padding-bottom: 6px; }
th, td { padding: 4px 14px 4px 0; border-bottom: 1px solid #E6E6E6; text-align: left;
  vertical-align: top; }
thead th { border-bottom: 2px solid #999999; }
table.data th, table.data td { padding: 4px 8px; border-left: 1px solid #E6E6E6;
  white-space: nowrap; }
table.data th:first-child, table.data td:first-child { border-left: none; }
table.data thead th { position: sticky; top: 0; background: #FFFFFF; z-index: 1;
  box-shadow: inset 0 -2px 0 #999999; }
th.num, td.num { text-align: right; }
table.summary th { font-weight: normal; color: #555555; padding-right: 24px; }
figure { margin: 20px 0; }
figure svg { display: block; max-width: 100%; height: auto; }
figcaption { color: #555555; font-size: 14px; margin-top: 6px; }
dl { display: grid; grid-template-columns: max-content 1fr; gap: 6px 20px; }
dt { font-weight: bold; }
dd { margin: 0; }
footer { color: #777777; font-size: 13px; padding-top: 12px; padding-bottom: 32px; }
@media print { h2 { break-after: avoid; } figure, table { break-inside: avoid; } }
)";

bool is_number(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return !text.empty() && ec == std::errc() && ptr == end;
}

bool is_missing(std::string_view text) {
  return text.empty() || text == "NA";
}

// A number with a fraction or exponent to `digits` significant digits ("0.09999999999999999" is
// "0.1"); any other text, whole numbers included, as it is.
std::string rounded(const std::string& text, int digits) {
  if (digits <= 0 || !is_number(text) || text.find_first_of(".eE") == std::string::npos)
    return text;
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
  return buffer;
}

std::vector<bool> numeric_columns(const DataTable& table) {
  std::vector<bool> numeric(table.columns.size(), true);
  for (std::size_t c = 0; c < numeric.size(); ++c) {
    bool any = false;
    for (const auto& row : table.rows) {
      if (c >= row.size() || is_missing(row[c])) continue;
      any = true;
      if (!is_number(row[c])) numeric[c] = false;
    }
    numeric[c] = numeric[c] && any;
  }
  return numeric;
}

Attributes column_class(const std::vector<bool>& numeric, std::size_t c) {
  if (c < numeric.size() && numeric[c]) return {{"class", "num"}};
  return {};
}

struct BlockWriter {
  MarkupWriter& html;

  void operator()(const Paragraph& p) const { html.text_element("p", {}, p.text); }

  void operator()(const SummaryTable& t) const {
    html.open("table", {{"class", "summary"}});
    html.open("tbody");
    for (const auto& [key, value] : t.rows) {
      html.open("tr");
      html.text_element("th", {{"scope", "row"}}, key);
      html.text_element("td", {}, value);
      html.close();
    }
    html.close();
    html.close();
  }

  void operator()(const DataTable& t) const {
    const std::vector<bool> numeric = numeric_columns(t);
    html.open("div", {{"class", "table-wrap"}});
    html.open("table", {{"class", "data"}});
    if (!t.caption.empty()) html.text_element("caption", {}, t.caption);
    html.open("thead");
    html.open("tr");
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
      Attributes attributes = column_class(numeric, c);
      attributes.push_back({"scope", "col"});
      html.text_element("th", attributes, t.columns[c]);
    }
    html.close();
    html.close();
    html.open("tbody");
    for (const auto& row : t.rows) {
      html.open("tr");
      // A short row is padded so that every row has a cell under every heading.
      for (std::size_t c = 0; c < std::max(row.size(), t.columns.size()); ++c) {
        const std::string given = c < row.size() ? row[c] : "";
        const std::string shown = rounded(given, t.significant_digits);
        Attributes attributes = column_class(numeric, c);
        if (shown != given) attributes.push_back({"title", given});
        html.text_element("td", attributes, shown);
      }
      html.close();
    }
    html.close();
    html.close();
    html.close();
  }

  void operator()(const Figure& f) const {
    html.open("figure");
    html.raw(f.svg);
    if (!f.caption.empty()) html.text_element("figcaption", {}, f.caption);
    html.close();
  }

  void operator()(const Definitions& d) const {
    html.open("dl");
    for (const auto& [term, meaning] : d.items) {
      html.text_element("dt", {}, term);
      html.text_element("dd", {}, meaning);
    }
    html.close();
  }
};

}  // namespace

std::string html_page(const HtmlPage& page) {
  MarkupWriter html;
  html.raw("<!DOCTYPE html>");
  html.open("html", {{"xmlns", "http://www.w3.org/1999/xhtml"}, {"lang", "en"}});
  html.open("head");
  html.leaf("meta", {{"charset", "utf-8"}});
  html.leaf("meta", {{"name", "viewport"}, {"content", "width=device-width, initial-scale=1"}});
  // HTML requires a title with text in it.
  html.text_element("title", {}, page.title.empty() ? "Report" : page.title);
  html.open("style");
  html.raw(kStyleSheet);
  html.close();
  html.close();

  html.open("body", page.wide ? Attributes{{"class", "wide"}} : Attributes{});
  html.open("header");
  html.text_element("h1", {}, page.title);
  if (!page.subtitle.empty()) html.text_element("p", {{"class", "subtitle"}}, page.subtitle);
  html.close();
  html.open("main");
  for (const Section& section : page.sections) {
    html.open("section");
    html.text_element("h2", {}, section.heading);
    for (const Block& block : section.blocks) std::visit(BlockWriter{html}, block);
    html.close();
  }
  html.close();
  if (!page.footer.empty()) {
    html.open("footer");
    html.text_element("p", {}, page.footer);
    html.close();
  }
  return html.finish();
}

}  // namespace tarven::plot
