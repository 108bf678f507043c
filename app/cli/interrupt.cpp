#include "cli/interrupt.h"

#include <csignal>

#include "common/ignored_signals.h"

namespace tarven::cli {
namespace {

std::atomic<bool> g_interrupted{false};
volatile std::sig_atomic_t g_signal = 0;

extern "C" void note_interruption(int signal) {
  g_signal = signal;
  g_interrupted.store(true);
}

static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

}  // namespace

void catch_interruptions() {
  g_signal = 0;
  g_interrupted.store(false);
  struct sigaction action {};
  action.sa_handler = &note_interruption;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // a blocking read or wait is interrupted rather than resumed
  // Under nohup SIGHUP stays ignored, as it does for the dialogue.
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) common::handle_unless_ignored(s, action);
}

const std::atomic<bool>& interrupted() {
  return g_interrupted;
}

int interrupting_signal() {
  return static_cast<int>(g_signal);
}

}  // namespace tarven::cli
