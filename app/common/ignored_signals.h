#pragma once

// A signal that was ignored when the program started stays ignored: `nohup tarven grid ...` must
// survive the closed terminal's SIGHUP, and a job started in the background of a script its SIGINT.
// Every front end installs its handlers through this one function, so none installs over them.

#include <csignal>

namespace tarven::common {

// Installs `action` for `signal_number` unless that signal is ignored at this moment. Returns
// whether it was installed.
bool handle_unless_ignored(int signal_number, const struct sigaction& action) noexcept;

}  // namespace tarven::common
