#pragma once

// The scriptable face of TARVEN: `tarven run`, `tarven grid`, `tarven plot`, and `tarven --help`
// and `--version`.

namespace tarven::cli {

// Whether the arguments select the command line: a first argument that is a command or starts
// with '-'. Without arguments (or with any other first argument, which the console program has
// always ignored) the console dialogue runs.
bool wants_command_line(int argc, const char* const* argv);

// Parses the arguments and runs the command; returns the exit status (2 for a usage error, 3 when
// the results are due on a standard output that the program was started without).
int run_command_line(int argc, const char* const* argv, bool standard_output_closed = false);

}  // namespace tarven::cli
