#pragma once

// The computational body of a run, from the report's start line to its summary, for a problem
// that the dialogue has already accepted. Tests and benchmarks call it directly with their own
// output units and evaluation settings; the console program reaches it only through run().

#include <functional>

#include "driver/problem.h"
#include "io/clock.h"
#include "io/output_unit.h"

namespace tarven::driver {

// How the pair probabilities are evaluated. Every setting gives the same bits and the same output;
// the defaults are the straightforward evaluation, one integral after the other, every
// distribution value and every constant computed afresh, exactly as the formulas are written.
struct EvaluationOptions {
  int threads = 1;       // threads evaluating pairs; 0 = one per available core
  bool memoise = false;  // remember distribution values across integrand calls
  // Keep what is fixed for the problem (square roots, retained shares, lbeta2 per pair) instead
  // of recomputing it in every integrand call.
  bool keep_constants = false;
  // For tests: replaces the result r of every attempt (pair counter k, interval [a, b]) before
  // the enumeration judges it, in every evaluation mode alike, so that retries, capping and
  // abandonment can be forced on a real problem. Empty: results are used as integrated.
  std::function<double(int k, double a, double b, double r)> adjust_result;
};

// Writes the start line, the group-mean check, banner, problem specification, the pair lines, the
// distribution and the summary (or the abandonment notice) to `console` and `report`. The
// numerical library's own messages go to the standard error stream as always.
void write_report_body(const Problem& problem, const io::DateTime& start,
                       const EvaluationOptions& options, io::OutputUnit& console,
                       io::OutputUnit& report);

}  // namespace tarven::driver
