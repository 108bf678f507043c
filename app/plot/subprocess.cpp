#include "plot/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

extern char** environ;

namespace tarven::plot {
namespace {

std::string describe(int error_number) {
  return std::generic_category().message(error_number);
}

// Closes both ends of pipes and owns the spawn objects, so that every early return cleans up.
struct SpawnResources {
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;

  SpawnResources() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnResources() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (int fd : {out[0], out[1], err[0], err[1]}) {
      if (fd >= 0) ::close(fd);
    }
  }
  SpawnResources(const SpawnResources&) = delete;
  SpawnResources& operator=(const SpawnResources&) = delete;
};

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}
}  // namespace

SubprocessResult run_subprocess(const std::vector<std::string>& argv,
                                std::chrono::milliseconds timeout) {
  SubprocessResult result;
  if (argv.empty()) {
    result.error = "no program to run";
    return result;
  }
  SpawnResources r;
  // Close-on-exec, so that programs started at the same time by other threads do not inherit
  // these pipes and hold them open.
  if (pipe2(r.out, O_CLOEXEC) != 0 || pipe2(r.err, O_CLOEXEC) != 0) {
    result.error = "cannot create a pipe: " + describe(errno);
    return result;
  }
  posix_spawn_file_actions_addopen(&r.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&r.actions, r.out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&r.actions, r.err[1], STDERR_FILENO);
  // A fresh process group, so that a timeout can end the program's own children too; default
  // signal handling and an empty mask, whatever this process has set for itself.
  sigset_t no_signals, all_signals;
  sigemptyset(&no_signals);
  sigfillset(&all_signals);
  posix_spawnattr_setflags(&r.attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&r.attributes, 0);
  posix_spawnattr_setsigmask(&r.attributes, &no_signals);
  posix_spawnattr_setsigdefault(&r.attributes, &all_signals);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawn_error =
      posix_spawnp(&pid, argv[0].c_str(), &r.actions, &r.attributes, args.data(), environ);
  close_fd(r.out[1]);
  close_fd(r.err[1]);
  if (spawn_error != 0) {
    result.error = "cannot start " + argv[0] + ": " + describe(spawn_error);
    return result;
  }
  result.started = true;

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const auto time_left = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now());
  };
  const auto kill_group = [&] {
    if (!result.timed_out) ::kill(-pid, SIGKILL);
    result.timed_out = true;
  };

  // Read both streams to their ends; SpawnResources closes the descriptors.
  pollfd fds[2] = {{r.out[0], POLLIN, 0}, {r.err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  char buffer[65536];
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    const auto left = time_left();
    if (left.count() <= 0) {
      kill_group();
      break;  // a descendant outside the group may still hold a pipe: stop reading
    }
    const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;  // poll skips negative descriptors
      }
    }
  }

  // A program may close its streams and carry on: the time limit holds for its exit too.
  int status = 0;
  for (;;) {
    const pid_t waited = ::waitpid(pid, &status, result.timed_out ? 0 : WNOHANG);
    if (waited == pid || (waited < 0 && errno != EINTR)) break;
    if (waited == 0) {
      if (time_left().count() <= 0) {
        kill_group();
      } else {
        ::usleep(5000);
      }
    }
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  if (result.timed_out) {
    result.error = argv[0] + " did not finish within " + std::to_string(timeout.count()) + " ms";
  }
  return result;
}

std::optional<std::filesystem::path> find_program(std::string_view name,
                                                  std::string_view search_path) {
  std::size_t start = 0;
  while (start <= search_path.size()) {
    std::size_t end = search_path.find(':', start);
    if (end == std::string_view::npos) end = search_path.size();
    // An empty entry means the current directory.
    const std::string_view dir = search_path.substr(start, end - start);
    const std::filesystem::path candidate =
        std::filesystem::path(dir.empty() ? "." : std::string(dir)) / std::string(name);
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    start = end + 1;
  }
  return std::nullopt;
}

std::string environment_search_path() {
  const char* path = std::getenv("PATH");
  return path != nullptr ? path : "";
}

}  // namespace tarven::plot
