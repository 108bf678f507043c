#include "numlib/messages.h"

namespace tarven::numlib {
namespace {

// Routine names and texts longer than this are cut, as the table of the original handler did, so
// that two messages differing only beyond it count as one.
constexpr std::size_t kRoutineChars = 31;
constexpr std::size_t kTextChars = 95;

}  // namespace

Level abnormal_return_level(int ier) {
  return ier == 6 ? Level::kRecoverable : Level::kWarning;
}

bool MessageLog::record(std::string_view routine, std::string_view text, int number, Level level) {
  routine = routine.substr(0, kRoutineChars);
  text = text.substr(0, kTextChars);
  for (MessageCount& e : entries_) {
    if (e.number == number && e.routine == routine && e.text == text)
      return ++e.count <= kMaxPrintsPerMessage;
  }
  if (entries_.size() < kTableEntries) {
    entries_.push_back(MessageCount{std::string(routine), std::string(text), number, level, 1});
    return true;
  }
  // Table full: the message cannot be counted individually, so it is always printed.
  ++untabulated_;
  return true;
}

}  // namespace tarven::numlib
