#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace tarven::cli {
namespace {

std::string clock_text(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char buffer[32];
  if (s >= 3600)
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
  return buffer;
}

}  // namespace

Progress::Progress(std::size_t total, bool quiet)
    : total_(total),
      quiet_(quiet),
      terminal_(::isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()),
      shown_(start_) {}

void Progress::update(std::size_t done, std::size_t failed) {
  if (quiet_) return;
  const auto now = std::chrono::steady_clock::now();
  const auto since = now - shown_;
  // On a terminal ten times a second at most; in a log, a line every 30 seconds.
  if (terminal_ ? since < std::chrono::milliseconds(100) : since < std::chrono::seconds(30)) return;
  show(done, failed, false);
}

void Progress::finish(std::size_t done, std::size_t failed) {
  if (quiet_) return;
  show(done, failed, true);
}

void Progress::show(std::size_t done, std::size_t failed, bool last) {
  const auto now = std::chrono::steady_clock::now();
  shown_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  std::string line = "tarven grid: " + std::to_string(done) + "/" + std::to_string(total_) +
                     " scenarios, " + std::to_string(failed) + " not ok, elapsed " +
                     clock_text(elapsed);
  if (!last && done > 0 && done < total_) {
    const double remaining =
        elapsed / static_cast<double>(done) * static_cast<double>(total_ - done);
    line += ", about " + clock_text(remaining) + " to go";
  }
  if (terminal_) {
    // Rewritten in place; the padding clears a longer line shown before.
    line = "\r" + line + "   ";
    if (last) line += "\n";
  } else {
    line += "\n";
  }
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  shown_once_ = true;
}

}  // namespace tarven::cli
