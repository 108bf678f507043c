// A real browser opens what we write: headless Chromium loads the report page and a chart from
// disk, must log nothing to its console, and must paint the charts.

#include <gtest/gtest.h>

#include "plot/curve_chart.h"
#include "plot/distribution_chart.h"
#include "plot/html_page.h"
#include "plot/subprocess.h"
#include "tests/app/plot/plot_test_support.h"
#include "tests/test_files.h"

namespace tarven::plot {
namespace {

using testing::find_chromium;
using testing::visit;
using testing::Visit;

TEST(Browser, ConsoleCheckSeesWhatAPageLogs) {
  SKIP_WITHOUT_CHROMIUM();
  testing::TempDir dir;
  testing_support::write_file(dir.path() / "noisy.html",
                              "<!DOCTYPE html><html><head><title>t</title></head><body>"
                              "<script>console.error('tarven-probe')</script></body></html>");
  const Visit v = visit(*chromium, dir.path() / "noisy.html", dir);
  ASSERT_EQ(v.failure, "");
  ASSERT_EQ(v.console.size(), 1u);
  EXPECT_NE(v.console[0].find("tarven-probe"), std::string::npos) << v.console[0];
}

TEST(Browser, ReportPageLoadsQuietlyAndShowsItsCharts) {
  SKIP_WITHOUT_CHROMIUM();
  DistributionChart distribution;
  distribution.title = "10 applicants, 7 majority, 4 hired";
  distribution.masses = {{0, 0.3473}, {0.778, 0.5011}, {2.333, 0.1440}, {7, 0.0076}};
  distribution.thresholds = {{0.8, "P(AI < 0.8) = 0.3473"}};
  HtmlPage page;
  page.title = "TARVEN run";
  page.sections.push_back({"Results",
                           {SummaryTable{{{"Applicants", "10"}, {"Hired", "4"}}},
                            Figure{distribution_chart_svg(distribution), "Distribution of AI"},
                            Figure{curve_chart_svg(testing::sample_curve_chart()), "Rates"}}});
  testing::TempDir dir;
  testing::write_checked(dir.path() / "report.html", html_page(page));

  const Visit v = visit(*chromium, dir.path() / "report.html", dir);
  ASSERT_EQ(v.failure, "");
  EXPECT_TRUE(v.console.empty()) << v.console.front();
  const auto& shot = v.screenshot;
  EXPECT_GT(testing::count_ink(shot), static_cast<int>(shot.pixels.size() / 50)) << "blank page";
  EXPECT_GT(testing::count_colour(shot, "#0072B2"), 1000) << "no bars painted";
}

TEST(Browser, CurveChartOpensOnItsOwnWithEveryLineVisible) {
  SKIP_WITHOUT_CHROMIUM();
  testing::TempDir dir;
  testing::write_checked(dir.path() / "curves.svg", curve_chart_svg(testing::sample_curve_chart()));
  const Visit v = visit(*chromium, dir.path() / "curves.svg", dir);
  ASSERT_EQ(v.failure, "");
  EXPECT_TRUE(v.console.empty()) << v.console.front();
  EXPECT_GT(testing::count_ink(v.screenshot), 5000) << "blank picture";
  // A parse error page would be mostly text: the lines' own colours prove the chart was drawn.
  for (const std::string colour : {"#0072B2", "#D55E00", "#009E73", "#E69F00"}) {
    EXPECT_GT(testing::count_colour(v.screenshot, colour), 150) << colour;
  }
}

}  // namespace
}  // namespace tarven::plot
