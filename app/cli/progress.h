#pragma once

// Progress of a grid on the standard error stream: on a terminal one line rewritten in place,
// otherwise a plain line at most every 30 seconds; nothing when quiet.

#include <chrono>
#include <cstddef>

namespace tarven::cli {

class Progress {
 public:
  Progress(std::size_t total, bool quiet);
  // `done` scenarios finished so far, `failed` of them not ok.
  void update(std::size_t done, std::size_t failed);
  // The last state, and the end of the rewritten line.
  void finish(std::size_t done, std::size_t failed);

 private:
  void show(std::size_t done, std::size_t failed, bool last);

  std::size_t total_;
  bool quiet_;
  bool terminal_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point shown_;
  bool shown_once_ = false;
};

}  // namespace tarven::cli
