#pragma once

// What an interrupted program leaves behind: temporary files registered here are removed when
// SIGINT, SIGTERM, SIGHUP or SIGPIPE ends the process, which then exits with status 128 + the
// signal's number, as a shell reports a process killed by that signal.
//
// The registry is process-wide by nature (a signal knows no objects); the handler only reads it,
// removes files and exits, all async-signal-safe, and allocates nothing.

#include <string_view>

namespace tarven::common {

// Installs the handler for each of the four signals that is not ignored: a run started under
// nohup (SIGHUP ignored) or in the background of a script (SIGINT ignored) keeps ignoring it.
// Programs call it once, early in main(); libraries never do.
void install_interrupt_cleanup() noexcept;

// Registers the file `name` (one path component, at most NAME_MAX bytes) in the directory open
// on `dirfd` for removal if one of the signals ends the process. Returns a handle for
// disarm_cleanup, or -1 when the name does not fit or every slot is taken, and the file would
// then stay behind. Registering a name before the file exists is fine: removing a missing file
// does no harm.
int arm_cleanup(int dirfd, std::string_view name) noexcept;

// Forgets a registration (handle -1: nothing). Call it before closing the directory descriptor.
void disarm_cleanup(int handle) noexcept;

}  // namespace tarven::common
