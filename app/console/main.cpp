// TARVEN: exact sampling distribution and expected value of the adverse impact ratio for a
// single-stage, top-down selection from a pre-screened applicant pool. Without arguments the
// console dialogue; with a command (run, grid, plot) or an option, the command line.

#include "cli/command_line.h"
#include "common/interrupt_cleanup.h"
#include "common/standard_streams.h"
#include "console/run.h"

int main(int argc, char** argv) {
  // Before anything opens a file, so that no output can take a standard stream's number.
  const tarven::common::StandardStreams streams = tarven::common::ensure_standard_streams();
  // The commands finish what is complete when interrupted; the dialogue removes its unfinished
  // report and ends. A command refuses to write its results to a standard output that was closed;
  // the dialogue writes its console to /dev/null then, as always.
  if (tarven::cli::wants_command_line(argc, argv))
    return tarven::cli::run_command_line(argc, argv, streams.was_closed[1]);
  tarven::common::install_interrupt_cleanup();
  return tarven::console::run();
}
