#include "console/library_messages.h"

#include <array>
#include <cstdio>

namespace tarven::console {
namespace {

const char* level_line(MessageLevel level) {
  switch (level) {
    case MessageLevel::kWarning:
      return "WARNING, THE RUN CONTINUES";
    case MessageLevel::kRecoverable:
      return "RECOVERABLE ERROR, THE RUN STOPS";
    case MessageLevel::kFatal:
      return "FATAL ERROR, THE RUN STOPS";
  }
  return "";
}

const char* level_name(MessageLevel level) {
  switch (level) {
    case MessageLevel::kWarning:
      return "WARNING";
    case MessageLevel::kRecoverable:
      return "RECOVERABLE";
    case MessageLevel::kFatal:
      return "FATAL";
  }
  return "";
}

}  // namespace

std::string library_message_text(const Diagnostic& d) {
  std::array<char, 512> buffer;
  const int n = std::snprintf(buffer.data(), buffer.size(),
                              " *** numerical library message from routine %s\n"
                              " *** %s\n"
                              " *   %s\n"
                              " *   ERROR NUMBER = %d\n"
                              " *** end of message\n",
                              d.routine.c_str(), level_line(d.level), d.message.c_str(), d.ier);
  if (n < 0) return {};
  return std::string(buffer.data(),
                     std::min<std::size_t>(static_cast<std::size_t>(n), buffer.size() - 1));
}

std::string library_summary(const Result& result) {
  std::string out = " *** numerical library error summary\n";
  char line[256];
  std::snprintf(line, sizeof line, " *   %-12s %6s  %-11s %6s  %s\n", "ROUTINE", "NUMBER", "LEVEL",
                "COUNT", "MESSAGE");
  out += line;
  for (const LibraryMessage& m : result.messages) {
    std::snprintf(line, sizeof line, " *   %-12s %6d  %-11s %6d  %s\n", m.routine.c_str(), m.number,
                  level_name(m.level), m.count, m.text.c_str());
    out += line;
  }
  if (result.untabulated_messages > 0) {
    std::snprintf(line, sizeof line, " *   other messages, not tabulated: %ld\n",
                  result.untabulated_messages);
    out += line;
  }
  out += " *** end of summary\n";
  return out;
}

}  // namespace tarven::console
