// TARVEN: exact sampling distribution and expected value of the adverse impact ratio for a
// single-stage, top-down selection from a pre-screened applicant population.

#include "console/run.h"

int main() {
  return tarven::console::run();
}
