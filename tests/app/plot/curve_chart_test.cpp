// The curve chart read back through its axes: every point where the data put it, facets side by
// side on one y scale, and a legend whose colours are those of the lines.

#include "plot/curve_chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "tests/app/plot/plot_test_support.h"

namespace tarven::plot {
namespace {

using testing::attr;
using testing::number_attr;
using testing::XmlDoc;

std::vector<CurvePoint> parse_points(const std::string& text) {
  std::vector<CurvePoint> points;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string pair = text.substr(at, end - at);
    points.push_back({std::stod(pair), std::stod(pair.substr(pair.find(',') + 1))});
    at = end + 1;
  }
  return points;
}

TEST(CurveChart, FacetsSideBySideOnOneYScaleWithEveryLineThroughItsPoints) {
  const CurveChart chart = testing::sample_curve_chart();
  const XmlDoc doc(curve_chart_svg(chart));
  ASSERT_TRUE(doc.well_formed()) << doc.error();
  const auto facets = doc.nodes("//s:g[@class='facet']");
  ASSERT_EQ(facets.size(), chart.facets.size());
  // The y axis is labelled once, in the first facet; the others draw its grid at the same heights.
  const auto y = testing::read_axis(doc, doc.nodes("s:g[@class='y-axis']", facets[0]).at(0), false);
  const auto grid_heights = [&](xmlNodePtr facet) {
    std::vector<std::string> heights;
    for (xmlNodePtr g : doc.nodes(".//s:g[@class='tick']/s:line[@class='grid']", facet)) {
      heights.push_back(attr(g, "y1"));
    }
    return heights;
  };
  double right_of_previous = 0;
  for (std::size_t f = 0; f < facets.size(); ++f) {
    SCOPED_TRACE(f);
    EXPECT_EQ(grid_heights(facets[f]), grid_heights(facets[0]));
    EXPECT_EQ(doc.nodes("s:g[@class='y-axis']", facets[f]).size(), f == 0 ? 1u : 0u);
    const auto x_axis = doc.nodes("s:g[@class='x-axis']", facets[f]).at(0);
    const auto x = testing::read_axis(doc, x_axis, true);
    const auto axis_line = doc.nodes("s:line[@class='axis-line']", x_axis).at(0);
    EXPECT_GT(number_attr(axis_line, "x1"), right_of_previous);
    right_of_previous = number_attr(axis_line, "x2");

    const auto lines = doc.nodes("s:g[@class='series']/s:polyline", facets[f]);
    ASSERT_EQ(lines.size(), chart.facets[f].curves.size());
    for (std::size_t c = 0; c < lines.size(); ++c) {
      std::vector<CurvePoint> expected;
      for (const CurvePoint& p : chart.facets[f].curves[c].points) {
        if (!std::isnan(p.y)) expected.push_back(p);
      }
      std::sort(expected.begin(), expected.end(),
                [](const CurvePoint& a, const CurvePoint& b) { return a.x < b.x; });
      const std::vector<CurvePoint> drawn = parse_points(attr(lines[c], "points"));
      ASSERT_EQ(drawn.size(), expected.size());
      for (std::size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_NEAR(x.value(drawn[i].x), expected[i].x, 0.01 / std::abs(x.slope));
        EXPECT_NEAR(y.value(drawn[i].y), expected[i].y, 0.01 / std::abs(y.slope));
      }
    }
  }
}

TEST(CurveChart, LegendNamesEachGroupOnceInTheColourOfItsLines) {
  const CurveChart chart = testing::sample_curve_chart();
  const XmlDoc doc(curve_chart_svg(chart));
  const auto entries = doc.nodes("//s:g[@class='legend-entry']");
  ASSERT_EQ(entries.size(), 4u);
  // Okabe and Ito's palette for readers with any of the common colour-vision deficiencies.
  const std::set<std::string> okabe_ito = {"#E69F00", "#56B4E9", "#009E73", "#F0E442",
                                           "#0072B2", "#D55E00", "#CC79A7", "#000000"};
  std::set<std::string> used;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string group = chart.facets[0].curves[i].group;
    EXPECT_EQ(attr(entries[i], "data-group"), group);
    EXPECT_EQ(testing::text_of(doc.nodes("s:text", entries[i]).at(0)), group);
    const std::string colour = attr(doc.nodes("s:line", entries[i]).at(0), "stroke");
    EXPECT_TRUE(okabe_ito.count(colour)) << colour;
    used.insert(colour);
    const auto lines = doc.nodes("//s:g[@class='series'][@data-group='" + group + "']/s:polyline");
    ASSERT_EQ(lines.size(), chart.facets.size());
    for (xmlNodePtr line : lines) EXPECT_EQ(attr(line, "stroke"), colour);
  }
  EXPECT_EQ(used.size(), entries.size()) << "two groups share a colour";

  const auto note = doc.nodes("//s:text[@class='note']");
  ASSERT_EQ(note.size(), 1u);
  EXPECT_EQ(testing::text_of(note[0]), chart.note);
  double lowest_label = 0;
  for (xmlNodePtr t : doc.nodes("//s:g[@class='x-axis']//s:text")) {
    lowest_label = std::max(lowest_label, number_attr(t, "y"));
  }
  EXPECT_GT(number_attr(note[0], "y"), lowest_label) << "the note belongs under the chart";
}

}  // namespace
}  // namespace tarven::plot
