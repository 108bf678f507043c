// TARVEN: exact sampling distribution and expected value of the adverse impact ratio for a
// single-stage, top-down selection from a pre-screened applicant population.

#include "common/interrupt_cleanup.h"
#include "common/standard_streams.h"
#include "console/run.h"

int main() {
  // Before anything opens a file, so that the report can never take a standard stream's number.
  tarven::common::ensure_standard_streams();
  tarven::common::install_interrupt_cleanup();
  return tarven::console::run();
}
