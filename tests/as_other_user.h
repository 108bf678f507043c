#pragma once

// Permission checks need a user that permissions apply to: the superuser writes files of any mode,
// so tests running as root do those checks in a child process that has become "nobody".

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace tarven::testing_support {

constexpr uid_t kNobody = 65534;

// Drops to "nobody" when running as root; true when this process is now an ordinary user.
inline bool become_ordinary_user() {
  if (::geteuid() != 0) return true;
  return ::setgroups(0, nullptr) == 0 && ::setresgid(kNobody, kNobody, kNobody) == 0 &&
         ::setresuid(kNobody, kNobody, kNobody) == 0;
}

// Runs `probe` in a child process and returns whether it returned true there.
template <typename Probe>
bool in_child(Probe probe) {
  const pid_t pid = ::fork();
  if (pid == 0) std::_Exit(probe() ? 0 : 1);
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

}  // namespace tarven::testing_support
