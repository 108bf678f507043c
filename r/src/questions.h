#pragma once

// What an R call asks of every scenario, from its arguments: the thresholds (numbers or decimal
// text), alpha, the quantile levels and the engine's word, checked by the library's own rules.

#include <string>
#include <variant>
#include <vector>

#include "cpp11/sexp.hpp"
#include "tarven/analysis.h"

namespace tarven_r {

struct Settings {
  tarven::Questions questions;
  tarven::Engine engine = tarven::Engine::kSingle;
};

// The shortest decimal text, without exponent, that reads back as `value` ("0.8" for 0.8,
// "0.30000000000000004" for 0.1 + 0.2, "0.00001" for 1e-5): the text the library's exact integer
// rule then applies to, as it would to the same text given by hand.
std::string threshold_text(double value);

// The thresholds' texts: a double vector through threshold_text, an integer vector as written,
// a character vector as given (R refuses NA and other types before).
std::vector<std::string> threshold_texts(SEXP threshold);

// The engine a word names, or a line naming the word and the engines there are.
std::variant<tarven::Engine, std::string> engine_of(const std::string& word);

// `alpha` one double, `quantiles` doubles, `engine` one string. The settings, or one line saying
// what is wrong and what is allowed.
std::variant<Settings, std::string> settings_of(SEXP threshold, SEXP alpha, SEXP quantiles,
                                                SEXP engine);

}  // namespace tarven_r
