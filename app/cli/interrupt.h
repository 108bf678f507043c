#pragma once

// Interruption of a command: SIGINT, SIGTERM and SIGHUP only raise a flag, which the command reads
// between scenarios and hands to the evaluations under way as their cancel flag. The command then
// writes what is complete and ends with 128 + the signal's number.

#include <atomic>

namespace tarven::cli {

// Installs the handlers (not over a signal ignored since the start) and lowers the flag: a command
// calls it once, before its work.
void catch_interruptions();
const std::atomic<bool>& interrupted();
// The signal that raised the flag (0 when none).
int interrupting_signal();

}  // namespace tarven::cli
