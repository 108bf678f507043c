#include "plot/curve_chart.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>

#include "plot/axis.h"
#include "plot/chart_heading.h"
#include "plot/chart_style.h"
#include "plot/svg_writer.h"

namespace tarven::plot {
namespace {

constexpr double kMarginLeft = 72;
constexpr double kMarginRight = 16;
constexpr double kFacetGap = 14;
constexpr double kInset = 8;  // keeps markers at the ends of the x axis inside the facet
constexpr double kStripHeight = 22;
constexpr double kRowGap = 30;  // under a row of facets, for its x labels
constexpr double kLegendGap = 20;
constexpr double kLegendSwatch = 26;  // the sample of line with its marker
constexpr double kLegendRow = 18;
constexpr double kMarkerRadius = 3.5;
constexpr int kDataDecimals = 12;

// Marker shapes vary with the colour so that the series stay apart in grey print.
enum class Shape { kCircle, kSquare, kTriangle, kDiamond };
constexpr Shape kShapes[] = {Shape::kCircle, Shape::kSquare, Shape::kTriangle, Shape::kDiamond};

struct SeriesLook {
  std::string_view colour;
  Shape shape;
};

SeriesLook look_of(std::size_t series) {
  return {style::kSeriesColours[series % style::kSeriesColours.size()],
          kShapes[series % std::size(kShapes)]};
}

void draw_marker(SvgWriter& svg, Shape shape, Point at, std::string_view colour, Attributes data) {
  const double r = kMarkerRadius;
  Attributes attributes;
  std::string_view tag = "polygon";
  switch (shape) {
    case Shape::kCircle:
      tag = "circle";
      attributes = {{"cx", at.x}, {"cy", at.y}, {"r", r}};
      break;
    case Shape::kSquare:
      tag = "rect";
      attributes = {
          {"x", at.x - 0.9 * r}, {"y", at.y - 0.9 * r}, {"width", 1.8 * r}, {"height", 1.8 * r}};
      break;
    case Shape::kTriangle: {
      const Point corners[] = {{at.x, at.y - 1.2 * r},
                               {at.x + 1.1 * r, at.y + 0.8 * r},
                               {at.x - 1.1 * r, at.y + 0.8 * r}};
      attributes = {{"points", svg_points(corners)}};
      break;
    }
    case Shape::kDiamond: {
      const Point corners[] = {
          {at.x, at.y - 1.3 * r}, {at.x + r, at.y}, {at.x, at.y + 1.3 * r}, {at.x - r, at.y}};
      attributes = {{"points", svg_points(corners)}};
      break;
    }
  }
  attributes.insert(attributes.begin(), {"class", "point"});
  attributes.push_back({"fill", colour});
  attributes.push_back({"stroke", style::kBackground});
  attributes.push_back({"stroke-width", 1});
  attributes.insert(attributes.end(), data.begin(), data.end());
  svg.leaf(tag, attributes);
}

struct Range {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  void add(double v) {
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  bool empty() const { return lo > hi; }
};

bool finite(const CurvePoint& p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

}  // namespace

std::string curve_chart_svg(const CurveChart& chart) {
  // Groups in the order they first appear; each keeps one look in every facet.
  std::vector<std::string> groups;
  Range xs, ys;
  for (const Facet& facet : chart.facets) {
    for (const Curve& curve : facet.curves) {
      if (std::find(groups.begin(), groups.end(), curve.group) == groups.end()) {
        groups.push_back(curve.group);
      }
      for (const CurvePoint& p : curve.points) {
        if (!finite(p)) continue;
        xs.add(p.x);
        ys.add(p.y);
      }
    }
  }
  if (xs.empty()) xs = {0, 1};
  if (ys.empty()) ys = {0, 1};

  double legend_width = estimate_text_width(chart.legend_title, style::kLabelSize);
  for (const std::string& group : groups) {
    legend_width =
        std::max(legend_width, kLegendSwatch + 6 + estimate_text_width(group, style::kLabelSize));
  }
  const bool has_legend = !groups.empty();
  const std::size_t facet_count = std::max<std::size_t>(chart.facets.size(), 1);
  const std::size_t columns =
      chart.columns == 0 ? facet_count : std::min(chart.columns, facet_count);
  const std::size_t rows = (facet_count + columns - 1) / columns;
  const double plots_width = static_cast<double>(columns) * chart.facet_width +
                             static_cast<double>(columns - 1) * kFacetGap;
  const double width =
      kMarginLeft + plots_width + (has_legend ? kLegendGap + legend_width : 0) + kMarginRight;

  // The first row is laid out as a chart of one row; each further row repeats its strip, its
  // plot and the x labels under it.
  const bool has_strips = std::any_of(chart.facets.begin(), chart.facets.end(),
                                      [](const Facet& f) { return !f.title.empty(); });
  const double bottom_margin = chart.note.empty() ? 52 : 72;
  const double strip = has_strips ? kStripHeight : 0;
  const double first_top = chart_heading_bottom(chart.title, chart.subtitle) + strip + 4;
  const double plot_height = chart.height - bottom_margin - first_top;
  const double row_pitch = plot_height + kRowGap + strip + 4;
  const double height = chart.height + static_cast<double>(rows - 1) * row_pitch;

  SvgWriter svg(width, height, chart.title);
  draw_chart_heading(svg, chart.title, chart.subtitle, 16);

  const Ticks x_ticks =
      nice_ticks(xs.lo, xs.hi, std::max(3, static_cast<int>(chart.facet_width / 70)));
  const Ticks y_ticks = nice_ticks(chart.y_from.value_or(ys.lo), chart.y_to.value_or(ys.hi), 5);

  std::vector<Facet> facets = chart.facets;
  if (facets.empty()) facets.emplace_back();
  double plot_bottom = 0;
  for (std::size_t f = 0; f < facets.size(); ++f) {
    const std::size_t column = f % columns;
    const double plot_top = first_top + static_cast<double>(f / columns) * row_pitch;
    plot_bottom = plot_top + plot_height;
    const LinearScale y{y_ticks.lo, y_ticks.hi, plot_bottom, plot_top};
    const double left = kMarginLeft + static_cast<double>(column) * (chart.facet_width + kFacetGap);
    const double right = left + chart.facet_width;
    const LinearScale x{x_ticks.lo, x_ticks.hi, left + kInset, right - kInset};

    svg.open("g", {{"class", "facet"}, {"data-title", facets[f].title}});
    if (has_strips) {
      svg.leaf("rect", {{"class", "strip"},
                        {"x", left},
                        {"y", plot_top - kStripHeight},
                        {"width", chart.facet_width},
                        {"height", kStripHeight},
                        {"fill", style::kStrip}});
      svg.text_element("text",
                       {{"x", 0.5 * (left + right)},
                        {"y", plot_top - kStripHeight + 15},
                        {"text-anchor", "middle"},
                        {"font-size", style::kLabelSize + 1},
                        {"font-weight", "bold"},
                        {"fill", style::kInk}},
                       facets[f].title);
    }
    draw_y_axis(svg, y, y_ticks, left, right, column == 0);
    for (const double value : x_ticks.values) {
      svg.leaf("line", {{"class", "grid"},
                        {"x1", x(value)},
                        {"y1", plot_top},
                        {"x2", x(value)},
                        {"y2", plot_bottom},
                        {"stroke", style::kGrid}});
    }

    for (const Curve& curve : facets[f].curves) {
      const auto series = static_cast<std::size_t>(
          std::find(groups.begin(), groups.end(), curve.group) - groups.begin());
      const SeriesLook look = look_of(series);
      std::vector<CurvePoint> points;
      std::copy_if(curve.points.begin(), curve.points.end(), std::back_inserter(points), finite);
      std::stable_sort(points.begin(), points.end(),
                       [](const CurvePoint& a, const CurvePoint& b) { return a.x < b.x; });
      std::vector<Point> pixels;
      for (const CurvePoint& p : points) pixels.push_back({x(p.x), y(p.y)});

      svg.open("g", {{"class", "series"}, {"data-group", curve.group}});
      svg.leaf("polyline", {{"class", "curve"},
                            {"points", svg_points(pixels)},
                            {"fill", "none"},
                            {"stroke", look.colour},
                            {"stroke-width", style::kLineWidth},
                            {"stroke-linejoin", "round"}});
      for (std::size_t i = 0; i < points.size(); ++i) {
        draw_marker(svg, look.shape, pixels[i], look.colour,
                    {{"data-x", format_number(points[i].x, kDataDecimals)},
                     {"data-y", format_number(points[i].y, kDataDecimals)}});
      }
      svg.close();
    }
    draw_x_axis(svg, x, x_ticks, plot_bottom, left, right);
    svg.close();
  }

  draw_x_title(svg, chart.x_title, kMarginLeft + 0.5 * plots_width, plot_bottom + 38);
  draw_y_title(svg, chart.y_title, 20, 0.5 * (first_top + plot_bottom));
  if (!chart.note.empty()) {
    svg.text_element("text",
                     {{"class", "note"},
                      {"x", 16},
                      {"y", height - 10},
                      {"font-size", style::kNoteSize},
                      {"font-style", "italic"},
                      {"fill", style::kMutedInk}},
                     chart.note);
  }

  if (has_legend) {
    const double left = kMarginLeft + plots_width + kLegendGap;
    double row = first_top + style::kLabelSize;
    svg.open("g", {{"class", "legend"}});
    if (!chart.legend_title.empty()) {
      svg.text_element("text",
                       {{"x", left},
                        {"y", row},
                        {"font-size", style::kLabelSize},
                        {"font-weight", "bold"},
                        {"fill", style::kInk}},
                       chart.legend_title);
      row += kLegendRow;
    }
    for (std::size_t series = 0; series < groups.size(); ++series) {
      const SeriesLook look = look_of(series);
      const double mid = row - 0.35 * style::kLabelSize;
      svg.open("g", {{"class", "legend-entry"}, {"data-group", groups[series]}});
      svg.leaf("line", {{"x1", left},
                        {"y1", mid},
                        {"x2", left + kLegendSwatch},
                        {"y2", mid},
                        {"stroke", look.colour},
                        {"stroke-width", style::kLineWidth}});
      draw_marker(svg, look.shape, {left + 0.5 * kLegendSwatch, mid}, look.colour, {});
      svg.text_element("text",
                       {{"x", left + kLegendSwatch + 6},
                        {"y", row},
                        {"font-size", style::kLabelSize},
                        {"fill", style::kInk}},
                       groups[series]);
      svg.close();
      row += kLegendRow;
    }
    svg.close();
  }
  return svg.finish();
}

}  // namespace tarven::plot
