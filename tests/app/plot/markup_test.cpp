// Numbers and text as they appear in the written documents.

#include "plot/markup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/app/plot/plot_test_support.h"

namespace tarven::plot {
namespace {

using testing::XmlDoc;

TEST(NumberText, NeitherNegativeZeroNorExponent) {
  EXPECT_EQ(format_fixed(0.5, 3), "0.500");
  EXPECT_EQ(format_fixed(-0.0001, 2), "0.00");
  EXPECT_EQ(format_fixed(-0.0, 0), "0");
  EXPECT_EQ(format_fixed(-1.005, 1), "-1.0");
  EXPECT_EQ(format_fixed(1e21, 0), "1000000000000000000000");
  EXPECT_EQ(format_fixed(3e-7, 2), "0.00");
  EXPECT_EQ(format_fixed(std::nan(""), 2), "NaN");
  EXPECT_EQ(format_fixed(-std::numeric_limits<double>::infinity(), 2), "-Inf");
  // The short form drops trailing zeros only.
  EXPECT_EQ(format_number(12.0), "12");
  EXPECT_EQ(format_number(120.0), "120");
  EXPECT_EQ(format_number(0.10), "0.1");
  EXPECT_EQ(format_number(2.345678), "2.35");
  EXPECT_EQ(format_number(-0.004), "0");
  EXPECT_EQ(format_number(0.123456789, 6), "0.123457");
}

// The parser is the judge: what it reads back must be what was written.
std::string read_back(const std::string& text) {
  MarkupWriter w;
  w.open("doc", {{"label", text}});
  w.text_element("p", {}, text);
  const XmlDoc doc(w.finish());
  EXPECT_TRUE(doc.well_formed()) << doc.error();
  const auto p = doc.nodes("/doc/p");
  if (p.size() != 1) return "<missing>";
  EXPECT_EQ(testing::attr(doc.nodes("/doc")[0], "label"), testing::text_of(p[0]));
  return testing::text_of(p[0]);
}

TEST(Escaping, AnyValidTextSurvivesInContentAndAttributes) {
  const std::string hostile =
      "P(AI < 0.8) & \"quoted\" 'single' ]]> <!-- --> \t tab\nline\r\n \xC3\xA9 \xE2\x82\xAC "
      "\xF0\x9F\x98\x80";
  EXPECT_EQ(read_back(hostile), hostile);
}

TEST(Escaping, BytesAnXmlParserWouldRejectBecomeReplacementCharacters) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(read_back(std::string("a\x01z\0b", 5)), "a" + fffd + "z" + fffd + "b");
  EXPECT_EQ(read_back("\x80"), fffd);                                   // stray continuation byte
  EXPECT_EQ(read_back("\xC0\xAF"), fffd + fffd);                        // overlong '/'
  EXPECT_EQ(read_back("\xED\xA0\x80"), fffd + fffd + fffd);             // surrogate
  EXPECT_EQ(read_back("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);  // past U+10FFFF
  EXPECT_EQ(read_back("ok\xE2\x82"), "ok" + fffd + fffd);               // cut short
}

TEST(MarkupWriter, EmptyElementsKeepAClosingTagAndFinishClosesEverything) {
  MarkupWriter w;
  w.open("table");
  w.open("tr");
  w.text_element("td", {}, "");
  const std::string text = w.finish();
  EXPECT_NE(text.find("<td></td>"), std::string::npos);  // HTML reads <td/> as an open tag
  EXPECT_TRUE(XmlDoc(text).well_formed());
}

}  // namespace
}  // namespace tarven::plot
