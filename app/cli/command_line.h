#pragma once

// The scriptable face of TARVEN: `tarven run`, `tarven grid`, `tarven plot`, and `tarven --help`
// and `--version`.

namespace tarven::cli {

// Whether the arguments select the command line: a first argument that is a command or starts
// with '-'. Without arguments (or with any other first argument, which the console program has
// always ignored) the console dialogue runs.
bool wants_command_line(int argc, const char* const* argv);

// Parses the arguments and runs the command; returns the exit status (2 for a usage error).
int run_command_line(int argc, const char* const* argv);

}  // namespace tarven::cli
