#pragma once

// Runs the built calculator as a user would: answers piped into its standard input, inside a
// fresh temporary directory, with both output streams and the exit status kept for inspection.

#include <filesystem>
#include <string>
#include <vector>

namespace tarven::e2e {

struct ProgramRun {
  std::string out;            // standard output (the console)
  std::string err;            // standard error
  int exit_code = -1;         // exit status when the program exited normally
  int signal = 0;             // terminating signal, 0 when it exited normally
  std::filesystem::path dir;  // the working directory of the run

  std::string file(const std::string& name) const;  // contents of a file in dir ("" if missing)
};

// `answers` is written to the program's standard input, which is then closed. `setup` may create
// files in the directory before the program starts.
// `limits` is a shell command run before the program (e.g. "ulimit -v 1000000").
ProgramRun run_program(const std::string& answers,
                       const std::vector<std::pair<std::string, std::string>>& files = {},
                       const std::string& limits = "");

// Splits text into lines (without their line feeds).
std::vector<std::string> lines_of(const std::string& text);

}  // namespace tarven::e2e
