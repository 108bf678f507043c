#include "common/interrupt_cleanup.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstring>

#include "common/ignored_signals.h"

namespace tarven::common {
namespace {

static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slots' states");

enum SlotState : int { kFree = 0, kBusy = 1, kArmed = 2 };

// A registered file. The handler trusts dirfd and name only while the state reads kArmed, which
// is stored after they are written (release) and read before they are used (acquire).
struct Slot {
  std::atomic<int> state{kFree};
  int dirfd = -1;
  char name[NAME_MAX + 1] = {};
};

// Several files may be in writing at once (a report and a grid's output, say); more than this
// many at once is not expected.
std::array<Slot, 16> slots;

constexpr std::array<int, 4> kSignals{SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void remove_registered_and_exit(int signal_number) {
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) == kArmed) ::unlinkat(slot.dirfd, slot.name, 0);
  }
  ::_exit(128 + signal_number);
}

}  // namespace

void install_interrupt_cleanup() noexcept {
  struct sigaction action {};
  action.sa_handler = remove_registered_and_exit;
  // A second signal during the clean-up waits; the process ends before it would be delivered.
  sigfillset(&action.sa_mask);
  for (const int signal_number : kSignals) handle_unless_ignored(signal_number, action);
}

int arm_cleanup(int dirfd, std::string_view name) noexcept {
  if (name.empty() || name.size() > NAME_MAX) return -1;
  for (std::size_t k = 0; k < slots.size(); ++k) {
    int expected = kFree;
    Slot& slot = slots[k];
    if (!slot.state.compare_exchange_strong(expected, kBusy, std::memory_order_acquire)) continue;
    slot.dirfd = dirfd;
    std::memcpy(slot.name, name.data(), name.size());
    slot.name[name.size()] = '\0';
    slot.state.store(kArmed, std::memory_order_release);
    return static_cast<int>(k);
  }
  return -1;
}

void disarm_cleanup(int handle) noexcept {
  if (handle < 0 || static_cast<std::size_t>(handle) >= slots.size()) return;
  slots[static_cast<std::size_t>(handle)].state.store(kFree, std::memory_order_release);
}

}  // namespace tarven::common
