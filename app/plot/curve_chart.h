#pragma once

// Lines over a numeric x, one per value of a grouping variable (the number of applicants, say),
// in facets side by side (or in rows and columns) that share both axes, with a legend and a note
// line under the chart.

#include <optional>
#include <string>
#include <vector>

namespace tarven::plot {

struct CurvePoint {
  double x = 0;
  double y = 0;
};

// One group's points in one facet. The same group name in several facets keeps its colour and
// marker; points are joined in the order of x, and points with a non-finite coordinate are left
// out.
struct Curve {
  std::string group;
  std::vector<CurvePoint> points;
};

struct Facet {
  std::string title;  // in a strip above the facet; empty for a single untitled facet
  std::vector<Curve> curves;
};

struct CurveChart {
  std::string title;
  std::string subtitle;
  std::string x_title;
  std::string y_title;
  std::string legend_title;
  std::vector<Facet> facets;
  // Panels per row, filled row by row; 0 puts every facet in one row. Every row repeats the y
  // axis at its left and every panel labels its x axis.
  std::size_t columns = 0;
  std::string note;              // under the chart, e.g. "3 rows not ok were left out"
  std::optional<double> y_from;  // fixed ends of the y axis (0 and 1 for a rate); else the data's
  std::optional<double> y_to;
  double facet_width = 280;
  double height = 420;  // of a chart with one row of facets; each further row adds its own
};

// Elements for readers other than people: g.facet (data-title), g.series (data-group) holding
// polyline.curve and markers of class point (data-x, data-y), g.legend-entry (data-group).
std::string curve_chart_svg(const CurveChart& chart);

}  // namespace tarven::plot
