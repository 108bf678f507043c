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

// Digits from the first that is not 0 to the last, in the mantissa.
int significant_digits(const std::string& number) {
  const std::string mantissa = number.substr(0, number.find_first_of("eE"));
  std::string digits;
  for (const char c : mantissa)
    if (c >= '0' && c <= '9') digits += c;
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? 0 : static_cast<int>(digits.size() - first);
}

// Two values of each of four factors; the minority share and selection ratio as shares.
std::string four_factor_grid() {
  std::string text = "n_total,minority_share,selection_ratio,d,rho,retention\n";
  for (const char* n : {"20", "40"})
    for (const char* share : {"0.2", "0.5"})
      for (const char* d : {"0", "0.5"})
        for (const char* rho : {"0", "0.3"})
          text += std::string(n) + "," + share + ",0.25," + d + "," + rho + ",0.5\n";
  return text;
}

TEST(CommandLinePictures, ALineJoinsOnlyRowsThatDifferInX) {
  TempDir dir;
  const std::string grid = (dir.path() / "grid.csv").string();
  const std::string results = (dir.path() / "results.csv").string();
  write_file(grid, four_factor_grid());
  ASSERT_TRUE(tarven({"grid", grid, "--quiet", "-o", results}).succeeded());
  const std::string svg = (dir.path() / "c.svg").string();

  // Against n_total by share, each line would zigzag between the values of d and rho.
  const SubprocessResult zigzag =
      tarven({"plot", results, "--x", "n_total", "--group", "minority_share", "-o", svg});
  EXPECT_EQ(zigzag.exit_code, 2);
  EXPECT_NE(zigzag.err.find("rows with the same n_total and minority_share differ in d (0, 0.5) "
                            "and rho (0, 0.3)"),
            std::string::npos)
      << zigzag.err;
  EXPECT_FALSE(std::filesystem::exists(svg));

  struct Drawing {
    std::vector<std::string> options;
    std::size_t panels;
    std::size_t series;
    std::vector<std::string> titles;  // of the panels, in order
  };
  const Drawing drawings[] = {
      {{"--where", "d=0.5", "--where", "rho=0"}, 1, 2, {""}},
      {{"--where", "d=0.50", "--facet", "rho"}, 2, 4, {"rho = 0", "rho = 0.3"}},
      {{"--facet", "d,rho"},
       4,
       8,
       {"d = 0, rho = 0", "d = 0, rho = 0.3", "d = 0.5, rho = 0", "d = 0.5, rho = 0.3"}},
      {{"--facet", "d", "--facet", "rho", "--where", "minority_share=0.2"}, 4, 4, {}},
  };
  for (const Drawing& d : drawings) {
    std::vector<std::string> args{"plot",    results,          "--x", "n_total",
                                  "--group", "minority_share", "-o",  svg};
    args.insert(args.end(), d.options.begin(), d.options.end());
    const SubprocessResult r = tarven(args);
    ASSERT_TRUE(r.succeeded()) << d.options.front() << r.err;
    const XmlDoc doc(read_file(svg));
    ASSERT_TRUE(doc.well_formed()) << doc.error();
    const auto panels = doc.nodes("//s:g[@class='facet']");
    EXPECT_EQ(panels.size(), d.panels) << d.options.back();
    EXPECT_EQ(doc.nodes("//s:g[@class='series']").size(), d.series) << d.options.back();
    for (std::size_t p = 0; p < d.titles.size() && p < panels.size(); ++p)
      EXPECT_EQ(testing::attr(panels[p], "data-title"), d.titles[p]);
    // Each line has one point per n_total.
    for (xmlNodePtr series : doc.nodes("//s:g[@class='series']"))
      EXPECT_EQ(doc.nodes("s:*[@class='point']", series).size(), 2u);
  }

  // Two facets lay the panels out in rows: the second row stands below the first.
  const std::vector<std::string> grid_of_panels{
      "plot",           results,   "--x",   "n_total", "--group",
      "minority_share", "--facet", "d,rho", "-o",      svg};
  ASSERT_TRUE(tarven(grid_of_panels).succeeded());
  const XmlDoc doc(read_file(svg));
  const auto strips = doc.nodes("//s:rect[@class='strip']");
  ASSERT_EQ(strips.size(), 4u);
  EXPECT_EQ(number_attr(strips[0], "y"), number_attr(strips[1], "y"));
  EXPECT_GT(number_attr(strips[2], "y"), number_attr(strips[0], "y"));
  EXPECT_EQ(number_attr(strips[2], "x"), number_attr(strips[0], "x"));
}

TEST(CommandLinePictures, TheGridPageRefusesAColumnItWillNotHaveBeforeComputing) {
  TempDir dir;
  const std::string grid = (dir.path() / "grid.csv").string();
  write_file(grid, four_factor_grid());
  const std::string results = (dir.path() / "r.csv").string();
  const std::string page = (dir.path() / "r.html").string();
  // The results will have p_ai_lt_0_90, not the default 0_80 that --y names.
  const SubprocessResult r = tarven({"grid", grid, "--quiet", "-o", results, "--threshold", "0.9",
                                     "--html", page, "--x", "n_total", "--y", "p_ai_lt_0_80"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("no column \"p_ai_lt_0_80\" in the results (did you mean \"p_ai_lt_0_90\""),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(results));
  EXPECT_FALSE(std::filesystem::exists(page));

  // Without --y the first threshold's column is drawn: one panel per d, a slice of rho.
  const SubprocessResult drawn =
      tarven({"grid", grid, "--quiet", "-o", results, "--threshold", "0.9", "--html", page, "--x",
              "n_total", "--group", "minority_share", "--facet", "d", "--where", "rho=0.3"});
  ASSERT_TRUE(drawn.succeeded()) << drawn.err;
  const XmlDoc doc(read_file(page));
  ASSERT_TRUE(doc.well_formed()) << doc.error();
  EXPECT_EQ(testing::text_of(doc.nodes("//s:text[@class='axis-title']").at(1)), "p_ai_lt_0_90");
  EXPECT_EQ(doc.nodes("//s:g[@class='facet']").size(), 2u);
  // The table: four significant digits with the value as written in the tooltip, whole numbers
  // as they are, and the definitions of the columns.
  std::size_t rounded = 0;
  for (xmlNodePtr cell : doc.nodes("//h:table[@class='data']//h:td[@title]")) {
    const std::string shown = testing::text_of(cell);
    const std::string full = testing::attr(cell, "title");
    EXPECT_NE(shown, full);
    EXPECT_LE(significant_digits(shown), 4) << shown;
    // Within half a unit of the fourth digit.
    EXPECT_LE(std::abs(std::stod(shown) - std::stod(full)), 5e-4 * std::abs(std::stod(full)))
        << shown << " " << full;
    ++rounded;
  }
  EXPECT_GT(rounded, 100u);
  const auto heads = doc.nodes("//h:table[@class='data']/h:thead//h:th");
  const auto first_row = doc.nodes("//h:table[@class='data']/h:tbody/h:tr[1]/h:td");
  ASSERT_EQ(heads.size(), first_row.size());
  for (std::size_t c = 0; c < heads.size(); ++c) {
    const std::string name = testing::text_of(heads[c]);
    if (name == "n_total") {
      EXPECT_EQ(testing::text_of(first_row[c]), "20");
    }
    if (name == "n_minority") {
      EXPECT_EQ(testing::text_of(first_row[c]), "4");
    }
  }
  EXPECT_FALSE(doc.nodes("//h:dl/h:dt").empty());
}

TEST(CommandLinePictures, FileNamesSayTheFormatAndOptionsNeedTheirPartners) {
  TempDir dir;
  const auto at = [&](const char* name) { return (dir.path() / name).string(); };
  write_file(at("grid.csv"), "n_total,n_majority,n_hired,d,rho,retention\n10,7,4,0,0,0.5\n");
  ASSERT_TRUE(tarven({"grid", at("grid.csv"), "--quiet", "-o", at("r.csv")}).succeeded());
  const std::vector<std::string> run{"run", "--n-total", "10", "--n-majority", "7", "--n-hired",
                                     "4",   "--d",       "0",  "--rho",        "0", "--retention",
                                     "0.5"};
  auto with = [](std::vector<std::string> args, std::initializer_list<std::string> more) {
    args.insert(args.end(), more);
    return args;
  };
  struct Refused {
    std::vector<std::string> args;
    const char* says;
  };
  const Refused refused[] = {
      {with(run, {"--plot", at("p.pdf")}), "must end in .svg or .png"},
      {with(run, {"--html", at("p.svg")}), "must end in .html or .htm"},
      {with(run, {"--plot-cumulative"}), "--plot-cumulative requires --plot"},
      {{"plot", at("r.csv"), "--x", "n_total", "-o", at("c.pdf")},
       "must end in .svg, .png, .html or .htm (or be -)"},
      {{"grid", at("grid.csv"), "-o", at("x.csv"), "--html", at("page.txt")}, ".html or .htm"},
      {{"grid", at("grid.csv"), "-o", at("x.csv"), "--x", "n_total"}, "--x requires --html"},
      {{"grid", at("grid.csv"), "-o", at("x.csv"), "--html", at("p.html"), "--facet", "d"},
       "--facet requires --x"},
      {{"grid", at("grid.csv"), "-o", at("x.csv"), "--html", at("p.html"), "--where", "d=0"},
       "--where requires --x"},
      {{"plot", at("r.csv"), "--x", "n_total", "--where", "d", "-o", at("c.svg")},
       "must be COLUMN=VALUE"},
      {{"plot", at("r.csv"), "--x", "n_total", "--facet", "d,rho,retention", "-o", at("c.svg")},
       "--facet takes one column"},
      {{"plot", at("r.csv"), "--x", "n_totl", "-o", at("c.svg")},
       "no column \"n_totl\" in the results (did you mean \"n_total\", one character off?)"},
  };
  for (const Refused& r : refused) {
    const SubprocessResult result = tarven(r.args);
    EXPECT_EQ(result.exit_code, 2) << r.says;
    EXPECT_NE(result.err.find(r.says), std::string::npos) << result.err;
  }
  for (const char* name : {"p.pdf", "p.svg", "page.txt", "c.pdf", "c.svg", "x.csv", "p.html"})
    EXPECT_FALSE(std::filesystem::exists(at(name))) << name;

  // Any case will do, and the file is what its name says.
  ASSERT_TRUE(tarven(with(run, {"--plot", at("A.PNG"), "--html", at("A.Htm"), "-o", at("a.txt")}))
                  .succeeded());
  EXPECT_EQ(read_file(at("A.PNG")).substr(1, 3), "PNG");
  EXPECT_TRUE(read_file(at("A.Htm")).starts_with("<!DOCTYPE html>"));
  // "-" is the standard input of grid and plot, and the standard output of plot -o.
  const SubprocessResult piped = run_subprocess(
      {"sh", "-c", std::string("\"$0\" grid - --quiet < \"$1\" | \"$0\" plot - --x n_total -o -"),
       TARVEN_EXE, at("grid.csv")});
  ASSERT_TRUE(piped.succeeded()) << piped.err;
  EXPECT_TRUE(piped.out.starts_with("<svg")) << piped.out.substr(0, 100);
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
