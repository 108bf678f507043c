// TARVEN: exact sampling distribution and expected value of the adverse impact ratio for a
// single-stage, top-down selection from a pre-screened applicant pool. Without arguments the
// console dialogue; with a command (run, grid, plot) or an option, the command line.

#include "cli/command_line.h"
#include "console/run.h"

int main(int argc, char** argv) {
  if (tarven::cli::wants_command_line(argc, argv)) return tarven::cli::run_command_line(argc, argv);
  return tarven::console::run();
}
