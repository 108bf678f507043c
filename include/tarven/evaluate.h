#pragma once

// The exact finite-sample distribution of the adverse impact ratio for one problem. Quiet and
// re-entrant: evaluate() never prints, never ends the process, keeps no state between calls, and
// may run on several threads at once, each with its own problem. Most callers want analyse()
// (tarven/analysis.h), which adds the rates and says in one status whether the numbers can be
// used.
//
// GNU GSL: the nested engine integrates with GSL, whose default error handler prints and aborts.
// The first nested evaluation therefore installs, once for the whole process, a handler that only
// records (gsl_set_error_handler); a program that installs its own GSL handler afterwards takes
// over GSL's error reporting, and the library then still sees every integration's error code.

#include "tarven/observer.h"
#include "tarven/options.h"
#include "tarven/problem.h"
#include "tarven/result.h"

namespace tarven {

// `observer` may be nullptr.
Result evaluate(const Problem& problem, const Options& options = {}, Observer* observer = nullptr);

// The library's version, e.g. "1.1.0" (TARVEN_VERSION_STRING of the headers it was built with).
const char* version();

}  // namespace tarven
