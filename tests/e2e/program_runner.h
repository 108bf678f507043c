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

using Files = std::vector<std::pair<std::string, std::string>>;

// `answers` is written to the program's standard input, which is then closed. `files` are created
// in the directory before the program starts. `limits` is a shell command run before the program
// (e.g. "ulimit -v 1000000"); `redirections` follow the program's own (e.g. ">&-" closes its
// standard output).
ProgramRun run_program(const std::string& answers, const Files& files = {},
                       const std::string& limits = "", const std::string& redirections = "");

// The program running on its own, its standard input and output on pipes, so that a test can
// answer as the console asks, watch the console and send signals. Started in `dir` (a fresh
// temporary directory when empty) with the signals it handles at their default dispositions.
class LiveProgram {
 public:
  explicit LiveProgram(const Files& files = {}, std::filesystem::path dir = {});
  ~LiveProgram();  // kills the program if it is still running
  LiveProgram(const LiveProgram&) = delete;
  LiveProgram& operator=(const LiveProgram&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  void answer(const std::string& text);
  // Reads the console until it holds `text`; false when the program ends or 20 s pass first.
  bool wait_for(const std::string& text);
  void signal(int signal_number);
  // Closes the program's standard input, reads the rest of its console and waits for its end.
  ProgramRun finish();

 private:
  std::filesystem::path dir_;
  std::filesystem::path err_;  // where its standard error goes
  int pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string out_;
};

// Splits text into lines (without their line feeds).
std::vector<std::string> lines_of(const std::string& text);

}  // namespace tarven::e2e
