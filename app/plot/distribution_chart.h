#pragma once

// The distribution of the adverse impact ratio for one scenario: P(AI = a) as bars at the values
// of AI (or, in the cumulative variant, P(AI <= a) as a step line), the undefined ratio as a bar of
// its own at the right, thresholds as dashed lines with their rates, the expected value as a mark.

#include <optional>
#include <string>
#include <vector>

namespace tarven::plot {

// P(AI = ai) for one split of the hires.
struct AiMass {
  double ai = 0;
  double prob = 0;
};

// A value on the AI axis with the text written beside its mark, e.g. value 0.8 with
// "P(AI < 0.8) = 0.2448". The caller words and rounds the text.
struct Marker {
  double value = 0;
  std::string label;
};

struct DistributionChart {
  std::string title;                     // the scenario
  std::string subtitle;                  // optional second line
  std::vector<AiMass> masses;            // the defined values of AI, in any order
  std::optional<double> undefined_prob;  // P(AI undefined); its bar is drawn when this is set
  std::vector<Marker> thresholds;        // dashed vertical lines
  std::optional<Marker> expected;        // a triangle above the plot
  bool cumulative = false;
  // Where the AI axis should end (it ends at the first tick at or above, and never before a
  // threshold or the expected value): the same for charts that are to be compared, or short of a
  // long thin tail that would squeeze the bulk of the distribution. Values beyond are not drawn;
  // a note under the chart says how many there are and how probable they are together.
  std::optional<double> ai_axis_max;
  std::string x_title = "Adverse impact ratio (AI)";
  std::string y_title;  // empty: "Probability", or "Cumulative probability" when cumulative
  double width = 760;
  double height = 440;
};

// Elements carry classes and data attributes for readers other than people: rect.bar with
// data-ai and data-prob, rect.undefined-bar with data-prob, circle.cdf-point with data-ai and
// data-cprob, line.threshold with data-value, g.expected with data-value.
std::string distribution_chart_svg(const DistributionChart& chart);

}  // namespace tarven::plot
