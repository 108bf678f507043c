#include "questions.h"

#include <charconv>
#include <cmath>

#include "cpp11/doubles.hpp"
#include "cpp11/integers.hpp"
#include "cpp11/strings.hpp"

namespace tarven_r {

std::string threshold_text(double value) {
  if (std::isnan(value)) return "NA";
  // Fixed notation of a double has at most 309 digits before the point and 1074 after it.
  char buffer[1100];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (ec != std::errc()) return "?";
  return std::string(buffer, end);
}

std::vector<std::string> threshold_texts(SEXP threshold) {
  std::vector<std::string> texts;
  switch (TYPEOF(threshold)) {
    case REALSXP:
      for (const double t : cpp11::doubles(threshold)) texts.push_back(threshold_text(t));
      break;
    case INTSXP:
      for (const int t : cpp11::integers(threshold)) texts.push_back(std::to_string(t));
      break;
    case STRSXP:
      for (const cpp11::r_string t : cpp11::strings(threshold))
        texts.push_back(static_cast<std::string>(t));
      break;
    default:
      break;
  }
  return texts;
}

std::variant<tarven::Engine, std::string> engine_of(const std::string& word) {
  if (std::optional<tarven::Engine> e = tarven::parse_engine(word)) return *e;
  std::string allowed;
  for (const tarven::Engine known : tarven::kEngines)
    allowed += std::string(allowed.empty() ? "" : ", ") + "\"" + tarven::engine_name(known) + "\"";
  return "engine \"" + word + "\": must be one of " + allowed;
}

std::variant<Settings, std::string> settings_of(SEXP threshold, SEXP alpha, SEXP quantiles,
                                                SEXP engine) {
  Settings s;
  s.questions.thresholds = threshold_texts(threshold);
  s.questions.alpha = cpp11::doubles(alpha)[0];
  const cpp11::doubles levels(quantiles);
  s.questions.quantile_levels.assign(levels.begin(), levels.end());
  if (std::optional<std::string> refused = tarven::check_questions(s.questions)) return *refused;
  auto e = engine_of(cpp11::r_string(cpp11::strings(engine)[0]));
  if (auto* message = std::get_if<std::string>(&e)) return *message;
  s.engine = std::get<tarven::Engine>(e);
  return s;
}

}  // namespace tarven_r
