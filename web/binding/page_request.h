#pragma once

// What the page asks of one scenario and what it is told, as JSON text: the only traffic between
// the page's worker and the library.
//
// The request: {"inputs": {ScenarioInputs' names: number or null}, "thresholds": ["0.8", ...],
// "alpha": 0.05, "details": bool, "number_texts": {"d", "rho", "retention": each value as the
// page writes it, for the chart's title}}; or, for a scenario the page itself cannot read,
// {"refusal": why, "thresholds", "alpha"}, answered as refused with that reason.
//
// The answer: {"status": the grid's status word, "message": why it is not ok (or ""),
// "refused": the inputs a refusal is about (ScenarioInputs' names, "threshold" or "alpha"; empty
// when the analysis ran), "fields": the summary columns [{"name", "kind": number | count | text,
// "value"}] with null where missing and "NaN", "Inf", "-Inf" for numbers that have no JSON form,
// "version"; with "details" and an ok status also "distribution_columns" (as `tarven run
// --distribution` names them, without scenario_id), "distribution_kinds" (count or number for
// each), "distribution" (one array per split in that order, null for an undefined AI) and
// "chart" (the SVG of `tarven run --plot`)}.

#include <string>
#include <string_view>

#include "tarven/observer.h"

namespace tarven::web {

// Never throws. A request that is not such JSON is answered with status "invalid".
std::string answer_request(std::string_view request, Observer* observer);

}  // namespace tarven::web
