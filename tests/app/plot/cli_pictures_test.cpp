// The pictures of the command line, made by the built program: the chart of `tarven run` says
// what its numbers say, every file is well-formed and the same bytes every time, and a real
// browser shows the report page and the curves.

#include <gtest/gtest.h>

#include <cmath>

#include "plot/subprocess.h"
#include "tests/app/plot/plot_test_support.h"
#include "tests/test_files.h"

namespace tarven::plot {
namespace {

using testing::number_attr;
using testing::TempDir;
using testing::XmlDoc;
using testing_support::read_file;
using testing_support::write_file;

// The program's path comes first; gcc 12 misjudges a literal inserted at the front of a vector.
SubprocessResult tarven(const std::vector<std::string>& args) {
  static const std::string program = TARVEN_EXE;
  std::vector<std::string> command{program};
  command.insert(command.end(), args.begin(), args.end());
  return run_subprocess(command, std::chrono::seconds(60));
}

std::vector<std::string> run_args(const TempDir& dir, const std::string& stem) {
  // Equal groups of five, no difference between them: the split is hypergeometric.
  return {"run",
          "--n-total",
          "10",
          "--n-majority",
          "5",
          "--n-hired",
          "4",
          "--d",
          "0",
          "--rho",
          "0",
          "--retention",
          "0.5",
          "--plot",
          (dir.path() / (stem + ".svg")).string(),
          "--html",
          (dir.path() / (stem + ".html")).string(),
          "-o",
          (dir.path() / (stem + ".txt")).string()};
}

TEST(CommandLinePictures, TheRunChartSaysWhatTheNumbersSay) {
  TempDir dir;
  const SubprocessResult r = tarven(run_args(dir, "a"));
  ASSERT_TRUE(r.succeeded()) << r.err << r.error;
  EXPECT_EQ(testing::xmllint_complaints(dir.path() / "a.svg"), "");
  EXPECT_EQ(testing::xmllint_complaints(dir.path() / "a.html"), "");

  const XmlDoc doc(read_file(dir.path() / "a.svg"));
  ASSERT_TRUE(doc.well_formed()) << doc.error();
  // P(N2 = k) = C(5, k) C(5, 4 - k) / C(10, 4): 5, 50, 100, 50, 5 out of 210; the last split has
  // no majority hire and stands apart as the undefined bar.
  const auto bars = doc.nodes("//s:rect[@class='bar']");
  ASSERT_EQ(bars.size(), 4u);
  const double expected[] = {5, 50, 100, 50};
  for (std::size_t k = 0; k < bars.size(); ++k) {
    EXPECT_NEAR(number_attr(bars[k], "data-prob"), expected[k] / 210.0, 1e-9) << k;
    EXPECT_NEAR(number_attr(bars[k], "height") / number_attr(bars[2], "height"),
                expected[k] / 100.0, 0.002)
        << k;
  }
  const auto undefined = doc.nodes("//s:rect[@class='undefined-bar']");
  ASSERT_EQ(undefined.size(), 1u);
  EXPECT_NEAR(number_attr(undefined[0], "data-prob"), 5.0 / 210.0, 1e-9);
  // The threshold line stands at 0.8 on the AI axis.
  const testing::AxisMap x =
      testing::read_axis(doc, doc.nodes("//s:g[@class='x-axis']").at(0), true);
  const auto line = doc.nodes("//s:line[@class='threshold']");
  ASSERT_EQ(line.size(), 1u);
  EXPECT_NEAR(x.value(number_attr(line[0], "x1")), 0.8, 0.02 / std::abs(x.slope));
}

TEST(CommandLinePictures, TheSameInputGivesTheSameBytes) {
  TempDir dir;
  ASSERT_TRUE(tarven(run_args(dir, "a")).succeeded());
  ASSERT_TRUE(tarven(run_args(dir, "b")).succeeded());
  EXPECT_EQ(read_file(dir.path() / "a.svg"), read_file(dir.path() / "b.svg"));
  // The pages differ only in the file they name nowhere: they are equal too.
  EXPECT_EQ(read_file(dir.path() / "a.html"), read_file(dir.path() / "b.html"));

  write_file(dir.path() / "grid.csv",
             "label,n_total,n_majority,n_hired,d,rho,retention\n"
             "small,10,7,4,0,0.3,0.6\nsmall,12,8,4,0.5,0.3,0.6\nlarger,20,14,6,0,0.3,0.6\n"
             "larger,24,16,6,0.5,0.3,0.6\nbad,10,10,4,0,0,0.5\n");
  for (const std::string jobs : {"1", "2"}) {
    const SubprocessResult g =
        tarven({"grid", (dir.path() / "grid.csv").string(), "--quiet", "--jobs", jobs, "-o",
                (dir.path() / ("r" + jobs + ".csv")).string(), "--html",
                (dir.path() / ("r" + jobs + ".html")).string(), "--x", "d", "--group", "label"});
    EXPECT_EQ(g.exit_code, 1) << g.err;  // the last row is invalid
  }
  EXPECT_EQ(read_file(dir.path() / "r1.csv"), read_file(dir.path() / "r2.csv"));
  EXPECT_EQ(read_file(dir.path() / "r1.html"), read_file(dir.path() / "r2.html"));
  EXPECT_EQ(testing::xmllint_complaints(dir.path() / "r1.html"), "");

  const SubprocessResult p =
      tarven({"plot", (dir.path() / "r1.csv").string(), "--x", "n_total", "--y", "p_ai_lt_0_80",
              "--group", "label", "-o", (dir.path() / "curves.svg").string()});
  ASSERT_TRUE(p.succeeded()) << p.err;
  EXPECT_EQ(testing::xmllint_complaints(dir.path() / "curves.svg"), "");
  const XmlDoc curves(read_file(dir.path() / "curves.svg"));
  EXPECT_EQ(curves.nodes("//s:g[@class='series']").size(), 2u);
  const auto note = curves.nodes("//s:text[@class='note']");
  ASSERT_EQ(note.size(), 1u);
  EXPECT_EQ(testing::text_of(note[0]), "1 row whose status is not ok was left out");
}

TEST(CommandLinePictures, ABrowserShowsTheReportPageAndTheCurves) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  ASSERT_TRUE(tarven(run_args(dir, "a")).succeeded());
  const testing::Visit page = testing::visit(*chromium, dir.path() / "a.html", dir);
  ASSERT_EQ(page.failure, "");
  EXPECT_TRUE(page.console.empty()) << page.console.front();
  EXPECT_GT(testing::count_ink(page.screenshot),
            static_cast<int>(page.screenshot.pixels.size() / 50))
      << "blank page";
}

}  // namespace
}  // namespace tarven::plot
