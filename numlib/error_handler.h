#pragma once

// The numerical library's reporting contract. Messages go to the standard error stream; each
// distinct message is printed a limited number of times; an error that stops the run prints the
// message and a summary, gives the driver a last chance to close the report, and exits with
// status 1. Process-wide and thread-safe.

namespace tarven::numlib {

// A distinct message (routine, text, number) is printed at most this many times; later
// occurrences are only counted.
inline constexpr int kMaxPrintsPerMessage = 10;

// "ABNORMAL RETURN" message of `routine` with error number ier, on stderr. ier 1..5: warning, the
// run continues. ier 6: recoverable error that stops the run: message, error summary, stop hook,
// exit status 1. ier 0 is not an abnormal return and is ignored.
void report_abnormal_return(const char* routine, int ier);

// A fatal library error (e.g. DLBETA with a non-positive argument): message, summary, stop hook,
// exit(1).
[[noreturn]] void fatal_error(const char* routine, const char* text, int error_number);

// Called once before a library stop ends the process (the driver flushes and closes the report
// there). nullptr removes the hook.
using StopHook = void (*)();
void set_stop_hook(StopHook hook);

// For tests: forget how often each message was printed.
void reset_message_counts();

namespace detail {
// Replaces GSL's abort-on-error handler for the whole process by one that never prints or aborts
// and only remembers the reason text of the calling thread's last GSL error. Idempotent and
// thread-safe; also done by a static initialiser of this library.
void install_gsl_error_handler();
// Reason text of this thread's last GSL error, or nullptr after clear_gsl_reason().
const char* last_gsl_reason();
void clear_gsl_reason();
}  // namespace detail

}  // namespace tarven::numlib
