#pragma once

// The exact finite-sample distribution of the adverse impact ratio for one problem. Quiet and
// re-entrant: evaluate() never prints, never ends the process, keeps no state between calls, and
// may run on several threads at once, each with its own problem.

#include "tarven/observer.h"
#include "tarven/options.h"
#include "tarven/problem.h"
#include "tarven/result.h"

namespace tarven {

// `observer` may be nullptr.
Result evaluate(const Problem& problem, const Options& options = Options::fast(),
                Observer* observer = nullptr);

// The library's version, e.g. "1.0.0".
const char* version();

}  // namespace tarven
