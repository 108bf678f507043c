#include "numlib/error_handler.h"

#include <gsl/gsl_errno.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace tarven::numlib {
namespace {

enum class Level { kWarning, kRecoverable, kFatal };

const char* level_line(Level level) {
  switch (level) {
    case Level::kWarning:
      return "WARNING, THE RUN CONTINUES";
    case Level::kRecoverable:
      return "RECOVERABLE ERROR, THE RUN STOPS";
    case Level::kFatal:
      return "FATAL ERROR, THE RUN STOPS";
  }
  return "";
}

const char* level_name(Level level) {
  switch (level) {
    case Level::kWarning:
      return "WARNING";
    case Level::kRecoverable:
      return "RECOVERABLE";
    case Level::kFatal:
      return "FATAL";
  }
  return "";
}

// Fixed-size storage so that reporting never allocates: a message can be raised from inside an
// integrand that is called millions of times.
constexpr std::size_t kRoutineChars = 32;
constexpr std::size_t kTextChars = 96;
constexpr std::size_t kTableEntries = 64;

struct Entry {
  std::array<char, kRoutineChars> routine{};
  std::array<char, kTextChars> text{};
  int number = 0;
  Level level = Level::kWarning;
  int count = 0;
};

struct MessageTable {
  std::mutex mutex;
  std::array<Entry, kTableEntries> entries;
  std::size_t used = 0;
  long untabulated = 0;  // occurrences of messages that found the table full
};

MessageTable& table() {
  static MessageTable instance;
  return instance;
}

std::atomic<StopHook> g_stop_hook{nullptr};

template <std::size_t N>
void copy_truncated(std::array<char, N>& dst, const char* src) {
  dst.fill('\0');
  if (src != nullptr) std::strncpy(dst.data(), src, N - 1);
}

void write_stderr(const char* text, std::size_t length) {
  std::fwrite(text, 1, length, stderr);
  std::fflush(stderr);
}

// Counts the occurrence and prints it unless the message has been printed often enough already.
void record_and_print(const char* routine, const char* text, int number, Level level) {
  std::array<char, kRoutineChars> routine_key;
  std::array<char, kTextChars> text_key;
  copy_truncated(routine_key, routine);
  copy_truncated(text_key, text);

  MessageTable& t = table();
  std::lock_guard lock(t.mutex);
  int count = 0;
  Entry* found = nullptr;
  for (std::size_t i = 0; i < t.used; ++i) {
    Entry& e = t.entries[i];
    if (e.number == number && e.routine == routine_key && e.text == text_key) {
      found = &e;
      break;
    }
  }
  if (found == nullptr && t.used < t.entries.size()) {
    found = &t.entries[t.used++];
    found->routine = routine_key;
    found->text = text_key;
    found->number = number;
    found->level = level;
    found->count = 0;
  }
  if (found != nullptr) {
    count = ++found->count;
  } else {
    // Table full: the message cannot be counted individually, so it is always printed.
    ++t.untabulated;
    count = 1;
  }
  if (count > kMaxPrintsPerMessage) return;

  std::array<char, 512> buffer;
  int n = std::snprintf(buffer.data(), buffer.size(),
                        " *** numerical library message from routine %s\n"
                        " *** %s\n"
                        " *   %s\n"
                        " *   ERROR NUMBER = %d\n"
                        " *** end of message\n",
                        routine_key.data(), level_line(level), text_key.data(), number);
  if (n < 0) return;
  std::size_t length =
      static_cast<std::size_t>(n) < buffer.size() ? static_cast<std::size_t>(n) : buffer.size() - 1;
  write_stderr(buffer.data(), length);
}

void print_summary() {
  std::string out = " *** numerical library error summary\n";
  char line[256];
  MessageTable& t = table();
  {
    std::lock_guard lock(t.mutex);
    std::snprintf(line, sizeof line, " *   %-12s %6s  %-11s %6s  %s\n", "ROUTINE", "NUMBER",
                  "LEVEL", "COUNT", "MESSAGE");
    out += line;
    for (std::size_t i = 0; i < t.used; ++i) {
      const Entry& e = t.entries[i];
      std::snprintf(line, sizeof line, " *   %-12s %6d  %-11s %6d  %s\n", e.routine.data(),
                    e.number, level_name(e.level), e.count, e.text.data());
      out += line;
    }
    if (t.untabulated > 0) {
      std::snprintf(line, sizeof line, " *   other messages, not tabulated: %ld\n", t.untabulated);
      out += line;
    }
  }
  out += " *** end of summary\n";
  write_stderr(out.data(), out.size());
}

[[noreturn]] void stop_run() {
  // A stop raised from inside the stop hook must not run the hook again.
  thread_local bool stopping_on_this_thread = false;
  if (stopping_on_this_thread) {
    std::fflush(stderr);
    std::_Exit(1);
  }
  stopping_on_this_thread = true;

  // Only one thread ends the process; any other thread that stops meanwhile waits for that exit.
  static std::atomic<bool> stopping{false};
  if (stopping.exchange(true)) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  }

  print_summary();
  if (StopHook hook = g_stop_hook.load()) hook();
  // Status 1, not 0: a run cut short by a library error must not look like success to scripts.
  std::exit(1);
}

// The calling thread's last GSL error reason. Copied, because GSL hands over a pointer only for
// the duration of the call.
thread_local std::array<char, 128> t_gsl_reason{};
thread_local bool t_gsl_reason_set = false;

void remember_gsl_error(const char* reason, const char* /*file*/, int /*line*/, int /*gsl_errno*/) {
  copy_truncated(t_gsl_reason, reason);
  t_gsl_reason_set = true;
}

// Installed before main() runs, so that GSL can never abort the process, whatever is called first.
const bool g_gsl_handler_installed_at_start = (detail::install_gsl_error_handler(), true);

}  // namespace

void report_abnormal_return(const char* routine, int ier) {
  if (ier == 0) return;
  Level level = ier == 6 ? Level::kRecoverable : Level::kWarning;
  record_and_print(routine, "ABNORMAL RETURN", ier, level);
  if (level != Level::kWarning) stop_run();
}

void fatal_error(const char* routine, const char* text, int error_number) {
  record_and_print(routine, text, error_number, Level::kFatal);
  stop_run();
}

void set_stop_hook(StopHook hook) {
  g_stop_hook.store(hook);
}

void reset_message_counts() {
  MessageTable& t = table();
  std::lock_guard lock(t.mutex);
  t.used = 0;
  t.untabulated = 0;
}

namespace detail {

void install_gsl_error_handler() {
  static const bool installed = (gsl_set_error_handler(&remember_gsl_error), true);
  (void)installed;
}

const char* last_gsl_reason() {
  return t_gsl_reason_set ? t_gsl_reason.data() : nullptr;
}

void clear_gsl_reason() {
  t_gsl_reason_set = false;
}

}  // namespace detail
}  // namespace tarven::numlib
