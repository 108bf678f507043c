#pragma once

// Shared set-up of the model tests: a state for a problem, and diagnostics that record instead of
// printing.

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "model/diagnostics.h"
#include "model/model_state.h"
#include "model/normal.h"

namespace tarven::model::testing {

// The start-up value of 1/sqrt(2*pi), formed as the program forms it.
inline double start_up_rsq2pi() {
  return 1.0 / std::sqrt(6.283185307179586);
}

// Problem parameters as the dialogue would leave them (zcut from the retention rate).
inline void set_problem(ModelState& s, double es, double rho, double retention, int nmaj = 1,
                        int nmin = 1) {
  s.rsq2pi = start_up_rsq2pi();
  s.es = es;
  s.rho = rho;
  int ifault = 0;
  s.zcut = ppnd(1.0 - retention, ifault);
  s.nmaj = nmaj;
  s.nmin = nmin;
  s.nsel = 1;
  s.imom = 0;
  s.imaj = 0;
}

// Every report in the order it was made: "lib ROUTINE IER" or "line TEXT".
class RecordingDiagnostics final : public Diagnostics {
 public:
  void console_line(std::string_view text) override {
    events.push_back("line " + std::string(text));
  }
  void abnormal_return(const char* routine, int ier) override {
    events.push_back("lib " + std::string(routine) + " " + std::to_string(ier));
  }
  std::vector<std::string> events;
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
