// PNG pictures through rsvg-convert: the right size, something drawn, honest errors.

#include "plot/png_conversion.h"

#include <gtest/gtest.h>

#include "plot/distribution_chart.h"
#include "plot/subprocess.h"
#include "tests/app/plot/plot_test_support.h"

namespace tarven::plot {
namespace {

bool have_converter() {
  return find_program("rsvg-convert", environment_search_path()).has_value();
}

#define SKIP_WITHOUT_CONVERTER() \
  if (!have_converter())         \
  GTEST_SKIP() << "rsvg-convert is not installed (Debian: apt-get install librsvg2-bin)"

std::string sample_svg() {
  DistributionChart chart;
  chart.title = "10 applicants, 7 majority, 4 hired";
  chart.masses = {{0, 0.35}, {0.778, 0.5}, {2.333, 0.15}};
  chart.width = 600;
  chart.height = 400;
  return distribution_chart_svg(chart);
}

TEST(PngConversion, PictureHasTheChartsSizeTimesZoomAndItsBars) {
  SKIP_WITHOUT_CONVERTER();
  testing::TempDir dir;
  // Names a shell would take apart, and one that an option parser would take for an option.
  const auto png = dir.path() / "-chart; $(touch pwned) 'a b'.png";
  PngOptions options;
  options.zoom = 2;
  const PngResult result = convert_svg_to_png(sample_svg(), png, options);
  ASSERT_TRUE(result.ok) << result.error;
  const testing::Image image = testing::read_png(png);
  EXPECT_EQ(image.width, 1200);
  EXPECT_EQ(image.height, 800);
  EXPECT_GT(testing::count_colour(image, "#0072B2"), 2000) << "the bars are missing";
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "pwned"));
  EXPECT_FALSE(std::filesystem::exists("pwned"));
}

TEST(PngConversion, BrokenSvgIsAnErrorWithTheConvertersReason) {
  SKIP_WITHOUT_CONVERTER();
  testing::TempDir dir;
  const PngResult result = convert_svg_to_png("<svg xmlns=\"http://www.w3.org/2000/svg\"><rect",
                                              dir.path() / "broken.png");
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("rsvg-convert failed"), std::string::npos) << result.error;
}

TEST(PngConversion, MissingConverterSaysHowToInstallIt) {
  testing::TempDir empty;
  PngOptions options;
  options.search_path = empty.path().string();
  const PngResult result = convert_svg_to_png(sample_svg(), empty.path() / "x.png", options);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("apt-get install librsvg2-bin"), std::string::npos) << result.error;
  EXPECT_FALSE(std::filesystem::exists(empty.path() / "x.png"));
}

}  // namespace
}  // namespace tarven::plot
