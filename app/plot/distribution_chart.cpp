#include "plot/distribution_chart.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>
#include <string>

#include "plot/axis.h"
#include "plot/chart_heading.h"
#include "plot/chart_style.h"
#include "plot/svg_writer.h"

namespace tarven::plot {
namespace {

constexpr double kMarginLeft = 72;  // room for the tick labels and the rotated axis title
constexpr double kMarginRight = 24;
constexpr double kMarginBottom = 52;  // tick labels and the axis title
constexpr double kInset = 14;         // keeps half a bar at the ends of the axis inside the plot
constexpr double kUndefinedSlot = 56;
constexpr double kUndefinedGap = 18;
constexpr double kExpectedBand = 20;  // above the plot, where the expected value is marked

// Bars fill 70% of the narrowest gap between neighbouring values so that neighbours never touch,
// but stay at least 2 px wide to remain visible (values closer than 3 px then overlap) and at most
// 28 px so that a few bars do not turn into blocks.
constexpr double kBarShareOfGap = 0.7;
constexpr double kMinBarWidth = 2;
constexpr double kMaxBarWidth = 28;

constexpr int kDataDecimals = 12;  // data attributes: for programs, not for the eye

// Sorted by AI, with non-finite values dropped and equal values merged.
std::vector<AiMass> tidy(const std::vector<AiMass>& masses) {
  std::vector<AiMass> out;
  for (const AiMass& m : masses) {
    if (std::isfinite(m.ai) && std::isfinite(m.prob)) out.push_back(m);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const AiMass& a, const AiMass& b) { return a.ai < b.ai; });
  std::vector<AiMass> merged;
  for (const AiMass& m : out) {
    if (!merged.empty() && merged.back().ai == m.ai) {
      merged.back().prob += m.prob;
    } else {
      merged.push_back(m);
    }
  }
  return merged;
}

// Four decimals, as the report prints probabilities, but never a bare zero for a positive one.
std::string probability_text(double prob) {
  return prob > 0 && prob < 0.00005 ? "< 0.0001" : format_fixed(prob, 4);
}

double bar_width(const std::vector<AiMass>& masses, const LinearScale& x) {
  double gap = std::numeric_limits<double>::infinity();
  for (std::size_t i = 1; i < masses.size(); ++i) {
    gap = std::min(gap, x(masses[i].ai) - x(masses[i - 1].ai));
  }
  return std::clamp(kBarShareOfGap * gap, kMinBarWidth, kMaxBarWidth);
}

// Text beside a mark at px: to its right when it fits before right_limit, else to its left.
void write_beside(SvgWriter& svg, std::string_view cls, double px, double y, double offset,
                  double right_limit, std::string_view text, std::string_view colour) {
  const bool fits_right = px + offset + estimate_text_width(text, style::kLabelSize) <= right_limit;
  svg.text_element("text",
                   {{"class", cls},
                    {"x", fits_right ? px + offset : px - offset},
                    {"y", y},
                    {"text-anchor", fits_right ? "start" : "end"},
                    {"font-size", style::kLabelSize},
                    {"fill", colour},
                    // A white outline under the glyphs keeps the text legible over bars.
                    {"stroke", style::kBackground},
                    {"stroke-width", 3},
                    {"stroke-linejoin", "round"},
                    {"paint-order", "stroke"}},
                   text);
}

void draw_bar(SvgWriter& svg, std::string_view cls, double centre, double width, double top,
              double bottom, std::string_view colour, const Attributes& data,
              std::string_view tooltip) {
  Attributes attributes = {{"class", cls},   {"x", centre - 0.5 * width}, {"y", top},
                           {"width", width}, {"height", bottom - top},    {"fill", colour}};
  attributes.insert(attributes.end(), data.begin(), data.end());
  svg.open("rect", attributes);
  svg.text_element("title", {}, tooltip);
  svg.close();
}

}  // namespace

std::string distribution_chart_svg(const DistributionChart& chart) {
  std::vector<AiMass> masses = tidy(chart.masses);
  const bool has_undefined = chart.undefined_prob.has_value();
  const double undefined_prob = chart.undefined_prob.value_or(0);

  // Marks with no place on the axis are left out, as are masses.
  std::vector<Marker> thresholds;
  std::copy_if(chart.thresholds.begin(), chart.thresholds.end(), std::back_inserter(thresholds),
               [](const Marker& t) { return std::isfinite(t.value); });
  std::stable_sort(thresholds.begin(), thresholds.end(),
                   [](const Marker& a, const Marker& b) { return a.value < b.value; });
  std::optional<Marker> expected = chart.expected;
  if (expected && !std::isfinite(expected->value)) expected.reset();

  double ai_hi = 0;  // AI is never negative; the axis starts at zero
  for (const AiMass& m : masses) ai_hi = std::max(ai_hi, m.ai);
  if (chart.ai_axis_max && *chart.ai_axis_max > 0 && std::isfinite(*chart.ai_axis_max)) {
    ai_hi = *chart.ai_axis_max;
  }
  for (const Marker& t : thresholds) ai_hi = std::max(ai_hi, t.value);
  if (expected) ai_hi = std::max(ai_hi, expected->value);
  const Ticks x_ticks = nice_ticks(std::min(0.0, masses.empty() ? 0 : masses.front().ai), ai_hi, 6);

  std::string note;
  const auto beyond = std::find_if(masses.begin(), masses.end(),
                                   [&](const AiMass& m) { return m.ai > x_ticks.hi; });
  if (beyond != masses.end()) {
    double prob = 0;
    for (auto m = beyond; m != masses.end(); ++m) prob += m->prob;
    const auto count = masses.end() - beyond;
    note = std::to_string(count) + (count == 1 ? " value" : " values") + " of AI above " +
           tick_label(x_ticks.hi, x_ticks) + " not drawn (P = " + probability_text(prob) +
           " in all)";
    masses.erase(beyond, masses.end());
  }

  // Vertical layout.
  SvgWriter svg(chart.width, chart.height, chart.title);
  const double heading_bottom = draw_chart_heading(svg, chart.title, chart.subtitle, 16);
  const double plot_top = heading_bottom + (expected ? kExpectedBand : 0) + 6;
  const double plot_bottom = chart.height - kMarginBottom - (note.empty() ? 0 : 18);

  // Horizontal layout: the AI axis, then the slot of the undefined ratio.
  const double plot_left = kMarginLeft;
  const double plot_right = chart.width - kMarginRight;
  const double axis_right =
      has_undefined ? plot_right - kUndefinedSlot - kUndefinedGap : plot_right;

  const LinearScale x{x_ticks.lo, x_ticks.hi, plot_left + kInset, axis_right - kInset};

  double prob_hi = chart.cumulative ? 1 : undefined_prob;
  for (const AiMass& m : masses) prob_hi = std::max(prob_hi, m.prob);
  // Room above the tallest bar for the threshold labels, so that they rarely cross a bar.
  if (!chart.cumulative && !thresholds.empty()) prob_hi *= 1.12;
  const Ticks y_ticks = nice_ticks(0, prob_hi, 5);
  const LinearScale y{0, y_ticks.hi, plot_bottom, plot_top};

  draw_y_axis(svg, y, y_ticks, plot_left, plot_right, true);

  const double width = bar_width(masses, x);
  if (chart.cumulative) {
    std::vector<Point> steps = {{x(x_ticks.lo), y(0)}};
    double cprob = 0;
    for (const AiMass& m : masses) {
      steps.push_back({x(m.ai), y(cprob)});
      cprob += m.prob;
      steps.push_back({x(m.ai), y(cprob)});
    }
    steps.push_back({x(x_ticks.hi), y(cprob)});
    svg.leaf("polyline", {{"class", "cdf"},
                          {"points", svg_points(steps)},
                          {"fill", "none"},
                          {"stroke", style::kBar},
                          {"stroke-width", style::kLineWidth},
                          {"stroke-linejoin", "miter"}});
    cprob = 0;
    svg.open("g", {{"class", "cdf-points"}, {"fill", style::kBar}});
    for (const AiMass& m : masses) {
      cprob += m.prob;
      svg.open("circle", {{"class", "cdf-point"},
                          {"cx", x(m.ai)},
                          {"cy", y(cprob)},
                          {"r", 3},
                          {"data-ai", format_number(m.ai, kDataDecimals)},
                          {"data-cprob", format_number(cprob, kDataDecimals)}});
      svg.text_element("title", {},
                       "P(AI \u2264 " + format_fixed(m.ai, 3) + ") = " + format_fixed(cprob, 4));
      svg.close();
    }
    svg.close();
  } else {
    svg.open("g", {{"class", "bars"}});
    for (const AiMass& m : masses) {
      draw_bar(svg, "bar", x(m.ai), width, y(m.prob), y(0), style::kBar,
               {{"data-ai", format_number(m.ai, kDataDecimals)},
                {"data-prob", format_number(m.prob, kDataDecimals)}},
               "P(AI = " + format_fixed(m.ai, 3) + ") = " + format_fixed(m.prob, 4));
    }
    svg.close();
  }

  if (has_undefined) {
    const double centre = plot_right - 0.5 * kUndefinedSlot;
    svg.open("g", {{"class", "undefined"}});
    draw_bar(svg, "undefined-bar", centre, width, y(undefined_prob), y(0), style::kUndefinedBar,
             {{"data-prob", format_number(undefined_prob, kDataDecimals)}},
             "P(AI undefined) = " + format_fixed(undefined_prob, 4));
    svg.leaf("line", {{"x1", plot_right - kUndefinedSlot},
                      {"y1", plot_bottom},
                      {"x2", plot_right},
                      {"y2", plot_bottom},
                      {"stroke", style::kInk}});
    svg.text_element("text",
                     {{"class", "undefined-label"},
                      {"x", centre},
                      {"y", plot_bottom + style::kTickLength + style::kLabelSize + 2},
                      {"text-anchor", "middle"},
                      {"font-size", style::kLabelSize},
                      {"fill", style::kMutedInk}},
                     "undefined");
    // Its probability in figures too: often too small for the bar to show.
    svg.text_element("text",
                     {{"class", "undefined-prob"},
                      {"x", centre},
                      {"y", y(undefined_prob) - 4},
                      {"text-anchor", "middle"},
                      {"font-size", style::kLabelSize},
                      {"fill", style::kMutedInk}},
                     probability_text(undefined_prob));
    svg.close();
  }

  // Every line before any label, so that no line crosses a label's text.
  svg.open("g", {{"class", "thresholds"}});
  for (const Marker& t : thresholds) {
    const double px = x(t.value);
    svg.leaf("line", {{"class", "threshold"},
                      {"data-value", format_number(t.value, kDataDecimals)},
                      {"x1", px},
                      {"y1", plot_top},
                      {"x2", px},
                      {"y2", plot_bottom},
                      {"stroke", style::kThreshold},
                      {"stroke-width", 1.5},
                      {"stroke-dasharray", "6 4"}});
  }
  for (std::size_t i = 0; i < thresholds.size(); ++i) {
    // Labels stack downwards in the order of their thresholds so that neighbours do not collide.
    const double label_y = plot_top + style::kLabelSize + 4 + 15 * static_cast<double>(i);
    write_beside(svg, "threshold-label", x(thresholds[i].value), label_y, 5, axis_right,
                 thresholds[i].label, style::kThreshold);
  }
  svg.close();

  if (expected) {
    const double px = x(expected->value);
    const double tip = plot_top - 2;
    svg.open("g", {{"class", "expected"},
                   {"data-value", format_number(expected->value, kDataDecimals)}});
    const std::vector<Point> triangle = {{px - 5, tip - 9}, {px + 5, tip - 9}, {px, tip}};
    svg.leaf("polygon", {{"points", svg_points(triangle)}, {"fill", style::kExpected}});
    write_beside(svg, "expected-label", px, tip - 1, 9, plot_right, expected->label,
                 style::kExpected);
    svg.close();
  }

  draw_x_axis(svg, x, x_ticks, plot_bottom, plot_left, axis_right);
  draw_x_title(svg, chart.x_title, 0.5 * (plot_left + axis_right), plot_bottom + 40);
  if (!note.empty()) {
    svg.text_element("text",
                     {{"class", "note"},
                      {"x", 16},
                      {"y", chart.height - 10},
                      {"font-size", style::kNoteSize},
                      {"font-style", "italic"},
                      {"fill", style::kMutedInk}},
                     note);
  }
  const std::string y_title = !chart.y_title.empty() ? chart.y_title
                              : chart.cumulative     ? "Cumulative probability"
                                                     : "Probability";
  draw_y_title(svg, y_title, 20, 0.5 * (plot_top + plot_bottom));
  return svg.finish();
}

}  // namespace tarven::plot
