#pragma once

// Runs a program with an argument vector (never through a shell, so no argument is ever
// interpreted), collecting its output streams and its exit status, with a time limit.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarven::plot {

struct SubprocessResult {
  bool started = false;  // false when the program could not be started; `error` says why
  bool timed_out = false;
  int exit_code = -1;  // when the program exited normally
  int signal = 0;      // the signal that ended it, 0 when it exited normally
  std::string out;
  std::string err;
  std::string error;

  bool succeeded() const { return started && !timed_out && signal == 0 && exit_code == 0; }
};

// argv[0] is a path, or a name searched for on PATH. Standard input is /dev/null. The program runs
// in a process group of its own; on timeout the whole group is killed.
SubprocessResult run_subprocess(const std::vector<std::string>& argv,
                                std::chrono::milliseconds timeout = std::chrono::seconds(60));

// The first executable file called `name` in the ':'-separated directories of search_path.
std::optional<std::filesystem::path> find_program(std::string_view name,
                                                  std::string_view search_path);

// The PATH of this process, "" when unset.
std::string environment_search_path();

}  // namespace tarven::plot
