#pragma once

// tarven run: one scenario from flags, as a short text, a JSON object or a CSV row.

#include <string>

#include "cli/scenario.h"

namespace tarven::cli {

struct RunSettings {
  ScenarioInput scenario;       // id "1", the six fields from the flags
  std::string format = "text";  // text, json or csv
  std::string output = "-";
  std::string distribution;  // tidy CSV of every split, or "" for none
  CommandQuestions questions;
  // Pictures: the distribution chart (SVG, or PNG through rsvg-convert), and an HTML page.
  std::string plot;
  bool plot_cumulative = false;
  std::string html;
};

int run_one(const RunSettings& settings);

// The short human summary of `run --format text`.
std::string text_summary(const ScenarioInput& input, const ScenarioOutcome& outcome,
                         const CommandQuestions& questions);

}  // namespace tarven::cli
