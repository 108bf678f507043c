#include "tests/e2e/program_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/test_files.h"

namespace tarven::e2e {
namespace {

std::string quoted(const std::filesystem::path& p) {
  std::string text = p.string();
  text.insert(text.begin(), '\'');
  text.push_back('\'');
  return text;
}

}  // namespace

std::string ProgramRun::file(const std::string& name) const {
  return testing_support::read_file(dir / name);
}

ProgramRun run_program(const std::string& answers,
                       const std::vector<std::pair<std::string, std::string>>& files,
                       const std::string& limits) {
  char pattern[] = "/tmp/tarven-e2e-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr) throw std::runtime_error("mkdtemp failed");
  ProgramRun run;
  run.dir = made;
  for (const auto& [name, text] : files) testing_support::write_file(run.dir / name, text);
  testing_support::write_file(run.dir / ".answers", answers);

  const std::string prefix = limits.empty() ? "" : limits + " && ";
  const std::string command = "cd " + quoted(run.dir) + " && " + prefix + "exec " +
                              quoted(TARVEN_EXE) + " < .answers > .stdout 2> .stderr";
  const int status = std::system(command.c_str());
  if (WIFEXITED(status)) {
    run.exit_code = WEXITSTATUS(status);
    // The shell reports a child killed by a signal as 128 + signal.
    if (run.exit_code > 128) {
      run.signal = run.exit_code - 128;
      run.exit_code = -1;
    }
  } else if (WIFSIGNALED(status)) {
    run.signal = WTERMSIG(status);
  }
  run.out = testing_support::read_file(run.dir / ".stdout");
  run.err = testing_support::read_file(run.dir / ".stderr");
  return run;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

}  // namespace tarven::e2e
