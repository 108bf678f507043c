#include "tests/e2e/program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
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

std::filesystem::path fresh_directory(const Files& files) {
  char pattern[] = "/tmp/tarven-e2e-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr) throw std::runtime_error("mkdtemp failed");
  const std::filesystem::path dir = made;
  for (const auto& [name, text] : files) testing_support::write_file(dir / name, text);
  return dir;
}

void keep_status(int status, ProgramRun& run) {
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
}

}  // namespace

std::string ProgramRun::file(const std::string& name) const {
  return testing_support::read_file(dir / name);
}

ProgramRun run_program(const std::string& answers, const Files& files, const std::string& limits,
                       const std::string& redirections) {
  ProgramRun run;
  run.dir = fresh_directory(files);
  testing_support::write_file(run.dir / ".answers", answers);

  const std::string prefix = limits.empty() ? "" : limits + " && ";
  const std::string command = "cd " + quoted(run.dir) + " && " + prefix + "exec " +
                              quoted(TARVEN_EXE) + " < .answers > .stdout 2> .stderr " +
                              redirections;
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

LiveProgram::LiveProgram(const Files& files, std::filesystem::path dir)
    : dir_(dir.empty() ? fresh_directory({}) : std::move(dir)) {
  for (const auto& [name, text] : files) testing_support::write_file(dir_ / name, text);
  // A program that has ended must not take this process with it when it is answered.
  std::signal(SIGPIPE, SIG_IGN);
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  // Several programs may share the directory, each with its own standard error.
  std::string err = (dir_ / ".stderr-XXXXXX").string();
  const int err_fd = ::mkostemp(err.data(), O_CLOEXEC);
  if (err_fd < 0) throw std::runtime_error("mkostemp failed");
  err_ = err;
  pid_ = ::fork();
  if (pid_ == 0) {
    // As a shell starts a job in the foreground: what the test process ignores or blocks does not
    // pass on.
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (::chdir(dir_.c_str()) != 0 || ::dup2(in[0], 0) < 0 || ::dup2(out[1], 1) < 0 ||
        ::dup2(err_fd, 2) < 0)
      std::_Exit(127);
    ::execl(TARVEN_EXE, TARVEN_EXE, static_cast<char*>(nullptr));
    std::_Exit(127);
  }
  ::close(err_fd);
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  output_ = out[0];
}

LiveProgram::~LiveProgram() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (input_ >= 0) ::close(input_);
  if (output_ >= 0) ::close(output_);
}

void LiveProgram::answer(const std::string& text) {
  if (::write(input_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    throw std::runtime_error("the program took no answer");
}

bool LiveProgram::wait_for(const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (out_.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{output_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[4096];
    const ssize_t n = ::read(output_, buffer, sizeof buffer);
    if (n <= 0) return false;
    out_.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

void LiveProgram::signal(int signal_number) {
  ::kill(pid_, signal_number);
}

ProgramRun LiveProgram::finish() {
  ::close(input_);
  input_ = -1;
  char buffer[4096];
  for (ssize_t n; (n = ::read(output_, buffer, sizeof buffer)) > 0;)
    out_.append(buffer, static_cast<std::size_t>(n));
  ProgramRun run;
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  keep_status(status, run);
  run.dir = dir_;
  run.out = out_;
  run.err = testing_support::read_file(err_);
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
