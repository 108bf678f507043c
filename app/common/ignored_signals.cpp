#include "common/ignored_signals.h"

namespace tarven::common {

bool handle_unless_ignored(int signal_number, const struct sigaction& action) noexcept {
  struct sigaction old {};
  if (::sigaction(signal_number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) return false;
  return ::sigaction(signal_number, &action, nullptr) == 0;
}

}  // namespace tarven::common
