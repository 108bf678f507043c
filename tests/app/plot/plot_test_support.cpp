#include "tests/app/plot/plot_test_support.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <png.h>
#include <stdlib.h>

#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "plot/subprocess.h"
#include "tests/test_files.h"

namespace tarven::plot::testing {

XmlDoc::XmlDoc(const std::string& text) {
  xmlParserCtxtPtr context = xmlNewParserCtxt();
  doc_ = xmlCtxtReadMemory(context, text.data(), static_cast<int>(text.size()), "memory.xml",
                           nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc_ == nullptr || context->wellFormed == 0 || context->nsWellFormed == 0) {
    const xmlError* e = xmlCtxtGetLastError(context);
    error_ = e != nullptr && e->message != nullptr ? e->message : "not well-formed";
  }
  xmlFreeParserCtxt(context);
}

XmlDoc::~XmlDoc() {
  xmlFreeDoc(doc_);
}

std::vector<xmlNodePtr> XmlDoc::nodes(const std::string& xpath, xmlNodePtr context) const {
  std::vector<xmlNodePtr> found;
  if (doc_ == nullptr) return found;
  xmlXPathContextPtr xc = xmlXPathNewContext(doc_);
  xmlXPathRegisterNs(xc, BAD_CAST "s", BAD_CAST "http://www.w3.org/2000/svg");
  xmlXPathRegisterNs(xc, BAD_CAST "h", BAD_CAST "http://www.w3.org/1999/xhtml");
  if (context != nullptr) xc->node = context;
  xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST xpath.c_str(), xc);
  if (result == nullptr) throw std::invalid_argument("bad XPath: " + xpath);
  if (result->nodesetval != nullptr) {
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
      found.push_back(result->nodesetval->nodeTab[i]);
    }
  }
  xmlXPathFreeObject(result);
  xmlXPathFreeContext(xc);
  return found;
}

std::string attr(xmlNodePtr node, const char* name) {
  xmlChar* value = xmlGetProp(node, BAD_CAST name);
  if (value == nullptr) return "";
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

double number_attr(xmlNodePtr node, const char* name) {
  const std::string text = attr(node, name);
  if (text.empty()) throw std::invalid_argument(std::string("no attribute ") + name);
  return std::stod(text);
}

std::string text_of(xmlNodePtr node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text(reinterpret_cast<const char*>(content));
  xmlFree(content);
  return text;
}

AxisMap read_axis(const XmlDoc& doc, xmlNodePtr axis_group, bool horizontal) {
  // A tick is a group holding a mark (its position) and a label (its value).
  const auto ticks = doc.nodes("s:g[@class='tick'][s:text]", axis_group);
  if (ticks.size() < 2) throw std::runtime_error("an axis needs two labelled ticks");
  const auto position = [&](xmlNodePtr tick) {
    const xmlNodePtr mark = doc.nodes("s:line", tick).back();
    return number_attr(mark, horizontal ? "x1" : "y1");
  };
  const auto value = [&](xmlNodePtr tick) {
    return std::stod(text_of(doc.nodes("s:text", tick).front()));
  };
  const double v0 = value(ticks.front()), v1 = value(ticks.back());
  const double p0 = position(ticks.front()), p1 = position(ticks.back());
  AxisMap map;
  map.slope = (p1 - p0) / (v1 - v0);
  map.offset = p0 - map.slope * v0;
  return map;
}

CurveChart sample_curve_chart() {
  CurveChart chart;
  chart.title = "P(AI < 0.8)";
  chart.x_title = "Selection ratio";
  chart.y_title = "Rate";
  chart.legend_title = "Applicants";
  chart.note = "3 rows not ok were left out";
  chart.y_from = 0;
  chart.y_to = 1;
  for (const std::string facet : {"es = 0", "es = 0.5"}) {
    Facet f{facet, {}};
    for (const int n : {20, 50, 100, 200}) {
      Curve c{"N = " + std::to_string(n), {}};
      for (const double sr : {0.5, 0.1, 0.3, 0.9, 0.7}) {
        c.points.push_back({sr, std::exp(-sr * n / (facet == "es = 0" ? 40 : 25))});
      }
      c.points.push_back({0.6, std::nan("")});
      f.curves.push_back(c);
    }
    chart.facets.push_back(f);
  }
  return chart;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

std::string xmllint_complaints(const std::filesystem::path& file) {
  const SubprocessResult run = run_subprocess({"xmllint", "--noout", "--nonet", file.string()});
  if (!run.started) return run.error;
  if (run.exit_code != 0 && run.err.empty())
    return "xmllint exit status " + std::to_string(run.exit_code);
  return run.err;
}

void write_checked(const std::filesystem::path& file, const std::string& text) {
  testing_support::write_file(file, text);
  EXPECT_EQ(xmllint_complaints(file), "") << file;
}

Image read_png(const std::filesystem::path& file) {
  Image image;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&png, file.c_str()) == 0) return image;
  png.format = PNG_FORMAT_RGBA;
  std::vector<Rgba> pixels(static_cast<std::size_t>(png.width) * png.height);
  if (png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr) == 0) return image;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.pixels = std::move(pixels);
  return image;
}

int count_colour(const Image& image, const std::string& hex, int tolerance) {
  const auto channel = [&](int i) { return std::stoi(hex.substr(1 + 2 * i, 2), nullptr, 16); };
  const int r = channel(0), g = channel(1), b = channel(2);
  int count = 0;
  for (const Rgba& p : image.pixels) {
    if (std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance &&
        std::abs(p.b - b) <= tolerance) {
      ++count;
    }
  }
  return count;
}

int count_ink(const Image& image) {
  int count = 0;
  for (const Rgba& p : image.pixels) {
    if (p.a > 0 && (p.r < 240 || p.g < 240 || p.b < 240)) ++count;
  }
  return count;
}

std::optional<std::filesystem::path> find_chromium() {
  if (std::filesystem::exists("/usr/bin/chromium")) return "/usr/bin/chromium";
  return find_program("chromium", environment_search_path());
}

// One visit in a fresh profile. With logging to standard error, Chromium writes every console
// message of the page on a line of its own: [..:INFO:CONSOLE:4] "message", source: file:///...
Visit visit(const std::filesystem::path& chromium, const std::filesystem::path& file,
            const TempDir& dir) {
  const auto shot = dir.path() / (file.stem().string() + "-screenshot.png");
  const SubprocessResult run = run_subprocess(
      {chromium.string(), "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
       "--no-first-run", "--disable-background-networking", "--disable-component-update",
       "--disable-sync",
       "--user-data-dir=" + (dir.path() / ("profile-" + file.stem().string())).string(),
       "--enable-logging=stderr", "--v=0", "--hide-scrollbars", "--window-size=1200,900",
       "--screenshot=" + shot.string(), "file://" + file.string()},
      std::chrono::seconds(15));
  Visit v;
  for (const std::string& line : lines(run.err)) {
    // [..:INFO:CONSOLE:4] "message", source: ... (or :CONSOLE(4)] in older versions)
    const std::size_t tag = line.find(":CONSOLE");
    if (tag == std::string::npos) continue;
    const char after = tag + 8 < line.size() ? line[tag + 8] : '\0';
    const std::size_t close = line.find(']', tag);
    if ((after != ':' && after != '(') || close == std::string::npos) continue;
    const std::size_t text = line.find_first_not_of(" \t", close + 1);
    v.console.push_back(text == std::string::npos ? std::string() : line.substr(text));
  }
  v.screenshot = read_png(shot);
  if (!run.succeeded() || v.screenshot.pixels.empty()) {
    v.failure = run.error + " exit " + std::to_string(run.exit_code) + "\n" + run.err;
  }
  return v;
}

}  // namespace tarven::plot::testing
