// The report page: well-formed, every text as given, charts inline, nothing fetched from elsewhere.

#include "plot/html_page.h"

#include <gtest/gtest.h>

#include "plot/distribution_chart.h"
#include "tests/app/plot/plot_test_support.h"

namespace tarven::plot {
namespace {

using testing::attr;
using testing::text_of;
using testing::XmlDoc;

const std::string kHostile = "P(AI < 0.8) & \"E(AI)\" > 'x' </td><script>alert(1)</script>";

HtmlPage sample_page() {
  DistributionChart chart;
  chart.title = kHostile;
  chart.masses = {{0, 0.35}, {0.778, 0.5}, {2.333, 0.15}};
  HtmlPage page;
  page.title = "Run " + kHostile;
  page.subtitle = "sub " + kHostile;
  page.footer = "foot " + kHostile;
  page.sections.push_back(
      {"Problem " + kHostile,
       {Paragraph{"para " + kHostile},
        SummaryTable{{{"key " + kHostile, "value " + kHostile}, {"Applicants", "10"}}}}});
  page.sections.push_back(
      {"Distribution",
       {DataTable{"caption " + kHostile,
                  {"AI", "Prob", "Note"},
                  {{"0.000", "0.3500", "cell " + kHostile}, {"0.778", "0.5000", ""}, {"2.333"}}},
        Figure{distribution_chart_svg(chart), "figure " + kHostile},
        Definitions{{{"term " + kHostile, "meaning " + kHostile}}}}});
  return page;
}

TEST(HtmlPage, WellFormedForAnXmlParserAndXmllint) {
  const std::string html = html_page(sample_page());
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  const XmlDoc doc(html);
  EXPECT_TRUE(doc.well_formed()) << doc.error();
  EXPECT_EQ(attr(doc.nodes("/h:html").at(0), "lang"), "en");
  EXPECT_EQ(doc.nodes("/h:html/h:head/h:meta[@charset='utf-8']").size(), 1u);
  testing::TempDir dir;
  testing::write_checked(dir.path() / "report.html", html);
}

TEST(HtmlPage, EveryTextReadsBackAsGiven) {
  const XmlDoc doc(html_page(sample_page()));
  const auto expect_text = [&](const std::string& xpath, const std::string& text) {
    const auto found = doc.nodes(xpath);
    ASSERT_EQ(found.size(), 1u) << xpath;
    EXPECT_EQ(text_of(found[0]), text) << xpath;
  };
  expect_text("/h:html/h:head/h:title", "Run " + kHostile);
  expect_text("//h:h1", "Run " + kHostile);
  expect_text("//h:header/h:p", "sub " + kHostile);
  expect_text("//h:section[1]/h:h2", "Problem " + kHostile);
  expect_text("//h:section[1]/h:p", "para " + kHostile);
  expect_text("//h:table[@class='summary']//h:tr[1]/h:th", "key " + kHostile);
  expect_text("//h:table[@class='summary']//h:tr[1]/h:td", "value " + kHostile);
  expect_text("//h:caption", "caption " + kHostile);
  expect_text("//h:tbody/h:tr[1]/h:td[3]", "cell " + kHostile);
  expect_text("//h:figcaption", "figure " + kHostile);
  expect_text("//h:dt", "term " + kHostile);
  expect_text("//h:dd", "meaning " + kHostile);
  expect_text("//h:footer/h:p", "foot " + kHostile);
  expect_text("//h:figure/s:svg/s:title", kHostile);
  EXPECT_TRUE(doc.nodes("//h:script").empty());
}

TEST(HtmlPage, SelfContainedWithChartsInline) {
  const XmlDoc doc(html_page(sample_page()));
  EXPECT_EQ(doc.nodes("//h:figure/s:svg").size(), 1u);
  EXPECT_FALSE(doc.nodes("//h:figure/s:svg//s:rect[@class='bar']").empty());
  // Nothing that a browser would fetch: no sources, links, imports or style URLs.
  EXPECT_TRUE(doc.nodes("//@src | //@href | //@*[local-name()='href'] | //h:link | //h:script | "
                        "//h:iframe | //h:object | //h:embed")
                  .empty());
  for (xmlNodePtr style : doc.nodes("//h:style")) {
    EXPECT_EQ(text_of(style).find("url("), std::string::npos);
    EXPECT_EQ(text_of(style).find("@import"), std::string::npos);
  }
}

TEST(HtmlPage, NumericColumnsAlignRightAndRowsAreFilledOut) {
  const XmlDoc doc(html_page(sample_page()));
  const auto head = doc.nodes("//h:table[@class='data']/h:thead//h:th");
  ASSERT_EQ(head.size(), 3u);
  EXPECT_EQ(attr(head[0], "class"), "num");
  EXPECT_EQ(attr(head[1], "class"), "num");  // "2.333" has no Prob: the column stays numeric
  EXPECT_EQ(attr(head[2], "class"), "");
  for (xmlNodePtr row : doc.nodes("//h:table[@class='data']/h:tbody/h:tr")) {
    EXPECT_EQ(doc.nodes("h:td", row).size(), 3u);
  }
}

}  // namespace
}  // namespace tarven::plot
