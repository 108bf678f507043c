// A real browser opens what we write: headless Chromium loads the report page and a chart from
// disk, must log nothing to its console, and must paint the charts.

#include <gtest/gtest.h>

#include <regex>

#include "plot/curve_chart.h"
#include "plot/distribution_chart.h"
#include "plot/html_page.h"
#include "plot/subprocess.h"
#include "tests/app/plot/plot_test_support.h"
#include "tests/test_files.h"

namespace tarven::plot {
namespace {

std::optional<std::filesystem::path> find_chromium() {
  if (std::filesystem::exists("/usr/bin/chromium")) return "/usr/bin/chromium";
  return find_program("chromium", environment_search_path());
}

#define SKIP_WITHOUT_CHROMIUM()                                                             \
  const auto chromium = find_chromium();                                                    \
  if (!chromium)                                                                            \
  GTEST_SKIP() << "no chromium at /usr/bin/chromium or on PATH (Debian package chromium); " \
                  "the browser tests need it"

struct Visit {
  std::vector<std::string> console;  // what the page wrote to the browser's console
  testing::Image screenshot;
  std::string failure;  // why the browser gave no screenshot, "" when it did
};

// One visit in a fresh profile. With logging to standard error, Chromium writes every console
// message of the page on a line of its own: [..:INFO:CONSOLE:4] "message", source: file:///...
Visit visit(const std::filesystem::path& chromium, const std::filesystem::path& file,
            const testing::TempDir& dir) {
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
  static const std::regex console_line(R"(:CONSOLE[:(][^\]]*\]\s*(.*))");
  std::smatch match;
  for (const std::string& line : testing::lines(run.err)) {
    if (std::regex_search(line, match, console_line)) v.console.push_back(match[1]);
  }
  v.screenshot = testing::read_png(shot);
  if (!run.succeeded() || v.screenshot.pixels.empty()) {
    v.failure = run.error + " exit " + std::to_string(run.exit_code) + "\n" + run.err;
  }
  return v;
}

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
