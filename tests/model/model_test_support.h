#pragma once

// Shared set-up of the model tests: a population for a problem, and a sink that records what the
// integrations report.

#include <cmath>
#include <vector>

#include "model/diagnostics.h"
#include "model/normal.h"
#include "model/population.h"

namespace tarven::model::testing {

// A problem as the dialogue would leave it (zcut from the retention rate).
inline Population problem(double es, double rho, double retention, int nmaj = 1, int nmin = 1,
                          bool keep_constants = true) {
  int ifault = 0;
  return make_population(es, rho, ppnd(1.0 - retention, ifault), nmaj, nmin, 1, keep_constants);
}

class RecordingSink final : public DiagnosticSink {
 public:
  void report(const Diagnostic& d) override { events.push_back(d); }
  std::vector<Diagnostic> events;
};

// Reference values of the standard normal from the C library, independent of phid.
inline double normal_upper_tail(double x) {
  return 0.5 * std::erfc(x / std::sqrt(2.0));
}
inline double normal_cdf(double x) {
  return 0.5 * std::erfc(-x / std::sqrt(2.0));
}
inline double normal_density(double x) {
  return std::exp(-0.5 * x * x) / std::sqrt(2.0 * 3.14159265358979323846);
}

}  // namespace tarven::model::testing
