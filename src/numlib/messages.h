#pragma once

// The numerical library's reporting contract, kept per evaluation. Each distinct message (routine,
// text, number) is to be printed at most kMaxPrintsPerMessage times; later occurrences are only
// counted. A recoverable error (an abnormal return with ier 6) and a fatal error stop the
// evaluation. The log only counts and decides; whoever shows the messages prints them, so two
// evaluations never share their counts.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarven::numlib {

inline constexpr int kMaxPrintsPerMessage = 10;

enum class Level { kWarning, kRecoverable, kFatal };

// Text of the message an integrator raises when it ends with ier != 0.
inline constexpr std::string_view kAbnormalReturn = "ABNORMAL RETURN";
// ier 1..5 are warnings after which the run continues; ier 6 (invalid input) stops it.
Level abnormal_return_level(int ier);

struct MessageCount {
  std::string routine;
  std::string text;
  int number = 0;
  Level level = Level::kWarning;
  int count = 0;  // occurrences, printed or not
};

class MessageLog {
 public:
  // Distinct messages counted one by one; beyond this many, messages are always printed and only
  // their total is kept.
  static constexpr std::size_t kTableEntries = 64;

  MessageLog() { entries_.reserve(kTableEntries); }

  // Counts one occurrence; true when it is to be printed (still within the limit).
  bool record(std::string_view routine, std::string_view text, int number, Level level);

  // The distinct messages in the order they first occurred.
  const std::vector<MessageCount>& entries() const { return entries_; }
  // Occurrences of messages that found the table full.
  long untabulated() const { return untabulated_; }

 private:
  std::vector<MessageCount> entries_;
  long untabulated_ = 0;
};

}  // namespace tarven::numlib
