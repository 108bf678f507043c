// The distribution chart says what the numbers say: read back through its own axes, every bar
// stands at its AI and rises to its probability. The numbers are the closed-form hypergeometric
// distribution of the hires (no group difference), computed here.

#include "plot/distribution_chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "plot/markup.h"
#include "tests/app/plot/plot_test_support.h"

namespace tarven::plot {
namespace {

using testing::AxisMap;
using testing::number_attr;
using testing::XmlDoc;

double choose(int n, int k) {
  double c = 1;
  for (int i = 1; i <= k; ++i) c = c * (n - k + i) / i;
  return c;
}

// Hiring `hired` of `applicants` at random, `majority` of them from the majority group. AI is the
// minority selection rate over the majority rate, undefined when no majority applicant is hired.
struct Hypergeometric {
  std::vector<AiMass> masses;
  double undefined = 0;
};

Hypergeometric hypergeometric(int applicants, int majority, int hired) {
  const int minority = applicants - majority;
  Hypergeometric h;
  for (int k = std::max(0, hired - majority); k <= std::min(minority, hired); ++k) {
    const int j = hired - k;  // majority hires
    const double p = choose(minority, k) * choose(majority, j) / choose(applicants, hired);
    if (j == 0) {
      h.undefined += p;
    } else {
      h.masses.push_back(
          {(static_cast<double>(k) / minority) / (static_cast<double>(j) / majority), p});
    }
  }
  return h;
}

struct Rendered {
  std::string svg;
  XmlDoc doc;
  AxisMap x, y;

  explicit Rendered(const DistributionChart& chart) : svg(distribution_chart_svg(chart)), doc(svg) {
    EXPECT_TRUE(doc.well_formed()) << doc.error();
    x = testing::read_axis(doc, doc.nodes("//s:g[@class='x-axis']").at(0), true);
    y = testing::read_axis(doc, doc.nodes("//s:g[@class='y-axis']").at(0), false);
  }
  // Coordinates carry two decimals: a reading is good to a hundredth of a pixel, twice over.
  double x_tolerance() const { return 0.02 / std::abs(x.slope); }
  double y_tolerance() const { return 0.02 / std::abs(y.slope); }
};

TEST(DistributionChart, BarsStandAtTheirAiAndRiseToTheirProbability) {
  const Hypergeometric h = hypergeometric(10, 7, 4);
  ASSERT_EQ(h.masses.size(), 4u);
  double below = 0, mean = 0;
  for (const AiMass& m : h.masses) {
    if (m.ai < 0.8) below += m.prob;
    mean += m.ai * m.prob;
  }
  DistributionChart chart;
  chart.title = "10 applicants, 7 majority, 4 hired";
  chart.masses = h.masses;
  chart.thresholds = {{0.8, "P(AI < 0.8) = " + format_fixed(below, 4)}};
  chart.expected = Marker{mean, "E(AI) = " + format_fixed(mean, 4)};
  const Rendered r(chart);

  const auto bars = r.doc.nodes("//s:rect[@class='bar']");
  ASSERT_EQ(bars.size(), h.masses.size());
  const double px_per_prob = number_attr(bars[1], "height") / h.masses[1].prob;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    SCOPED_TRACE(i);
    const double left = number_attr(bars[i], "x"), width = number_attr(bars[i], "width");
    const double top = number_attr(bars[i], "y"), height = number_attr(bars[i], "height");
    EXPECT_NEAR(r.x.value(left + 0.5 * width), h.masses[i].ai, r.x_tolerance());
    EXPECT_NEAR(r.y.value(top), h.masses[i].prob, r.y_tolerance());
    EXPECT_NEAR(r.y.value(top + height), 0, r.y_tolerance());
    EXPECT_NEAR(height / h.masses[i].prob, px_per_prob, 1e-3 * px_per_prob);  // heights in ratio
  }

  const auto threshold = r.doc.nodes("//s:line[@class='threshold']");
  ASSERT_EQ(threshold.size(), 1u);
  EXPECT_NEAR(r.x.value(number_attr(threshold[0], "x1")), 0.8, r.x_tolerance());
  const auto label = r.doc.nodes("//s:text[@class='threshold-label']");
  ASSERT_EQ(label.size(), 1u);
  EXPECT_EQ(testing::text_of(label[0]), chart.thresholds[0].label);

  // The expected value's triangle points at its place on the axis.
  const auto triangle = r.doc.nodes("//s:g[@class='expected']/s:polygon");
  ASSERT_EQ(triangle.size(), 1u);
  const std::string points = testing::attr(triangle[0], "points");
  const double tip_x = std::stod(points.substr(points.rfind(' ') + 1));
  EXPECT_NEAR(r.x.value(tip_x), mean, r.x_tolerance());

  testing::TempDir dir;
  testing::write_checked(dir.path() / "distribution.svg", r.svg);
}

TEST(DistributionChart, UndefinedRatioHasItsOwnBarRightOfTheAxis) {
  // Two majority applicants among six, three hired: with probability 0.2 no majority applicant is.
  const Hypergeometric h = hypergeometric(6, 2, 3);
  ASSERT_NEAR(h.undefined, 0.2, 1e-15);
  DistributionChart chart;
  chart.masses = h.masses;
  chart.undefined_prob = h.undefined;
  const Rendered r(chart);

  const auto undefined = r.doc.nodes("//s:rect[@class='undefined-bar']");
  ASSERT_EQ(undefined.size(), 1u);
  EXPECT_NEAR(r.y.value(number_attr(undefined[0], "y")), h.undefined, r.y_tolerance());
  const double axis_end =
      number_attr(r.doc.nodes("//s:g[@class='x-axis']/s:line[@class='axis-line']").at(0), "x2");
  EXPECT_GT(number_attr(undefined[0], "x"), axis_end);
  EXPECT_EQ(testing::text_of(r.doc.nodes("//s:text[@class='undefined-label']").at(0)), "undefined");
  EXPECT_EQ(testing::text_of(r.doc.nodes("//s:text[@class='undefined-prob']").at(0)), "0.2000");
}

TEST(DistributionChart, CumulativeStepsClimbToTheDefinedShare) {
  const Hypergeometric h = hypergeometric(6, 2, 3);
  DistributionChart chart;
  chart.masses = h.masses;
  chart.undefined_prob = h.undefined;
  chart.cumulative = true;
  const Rendered r(chart);

  EXPECT_TRUE(r.doc.nodes("//s:rect[@class='bar']").empty());
  const auto points = r.doc.nodes("//s:circle[@class='cdf-point']");
  ASSERT_EQ(points.size(), h.masses.size());
  double cumulative = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    cumulative += h.masses[i].prob;
    EXPECT_NEAR(r.x.value(number_attr(points[i], "cx")), h.masses[i].ai, r.x_tolerance());
    EXPECT_NEAR(r.y.value(number_attr(points[i], "cy")), cumulative, r.y_tolerance());
  }
  EXPECT_NEAR(cumulative, 1 - h.undefined, 1e-15);
}

TEST(DistributionChart, CloseValuesGiveNarrowBarsThatStayVisibleAndApart) {
  // Sixty applicants: sixteen irregularly spaced values of AI, the closest a few pixels apart.
  DistributionChart chart;
  chart.masses = hypergeometric(60, 40, 15).masses;
  chart.masses.push_back({1.0005, 0.01});  // all but on top of AI = 1
  const Rendered r(chart);
  const auto bars = r.doc.nodes("//s:rect[@class='bar']");
  ASSERT_EQ(bars.size(), chart.masses.size());
  for (std::size_t i = 0; i < bars.size(); ++i) {
    EXPECT_GE(number_attr(bars[i], "width"), 2);
    if (i == 0) continue;
    const double gap_px = number_attr(bars[i], "x") - number_attr(bars[i - 1], "x");
    // Neighbours three or more pixels apart never touch.
    if (gap_px >= 3) {
      EXPECT_LT(number_attr(bars[i - 1], "width"), gap_px);
    }
  }
}

TEST(DistributionChart, AnAxisCutDrawsTheBulkAndCountsTheTail) {
  DistributionChart chart;
  chart.masses = hypergeometric(60, 40, 15).masses;  // AI up to 28
  chart.ai_axis_max = 5;
  double tail = 0;
  int beyond = 0;
  for (const AiMass& m : chart.masses) {
    if (m.ai > 5) tail += m.prob, ++beyond;
  }
  const Rendered r(chart);
  const auto bars = r.doc.nodes("//s:rect[@class='bar']");
  EXPECT_EQ(bars.size() + beyond, chart.masses.size());
  for (xmlNodePtr bar : bars) EXPECT_LE(number_attr(bar, "data-ai"), 5);
  const auto note = r.doc.nodes("//s:text[@class='note']");
  ASSERT_EQ(note.size(), 1u);
  EXPECT_EQ(testing::text_of(note[0]),
            std::to_string(beyond) +
                " values of AI above 5 not drawn (P = " + format_fixed(tail, 4) + " in all)");
}

TEST(DistributionChart, SameBytesWhateverTheOrderOfTheInput) {
  DistributionChart chart;
  chart.title = "60 applicants, 40 majority, 15 hired";
  chart.masses = hypergeometric(60, 40, 15).masses;
  chart.thresholds = {{0.8, "P(AI < 0.8) = 0.5"}, {0.5, "P(AI < 0.5) = 0.25"}};
  const std::string first = distribution_chart_svg(chart);
  EXPECT_EQ(distribution_chart_svg(chart), first);
  std::shuffle(chart.masses.begin(), chart.masses.end(), std::mt19937(7));
  std::reverse(chart.thresholds.begin(), chart.thresholds.end());
  EXPECT_EQ(distribution_chart_svg(chart), first);
}

}  // namespace
}  // namespace tarven::plot
