#include "model/dist_memo.h"

#include <algorithm>
#include <bit>
#include <new>

namespace tarven::model {
namespace {

constexpr std::uint32_t kEmpty = 0;
constexpr std::uint32_t kReady = 1;
// Entries a thread reserves at a time, so that the values it computes in a row stay in a row.
constexpr std::uint32_t kBlock = 64;
// Beyond this many pairs a problem gets four times the minority room.
constexpr int kManyPairs = 2000;

static_assert(std::has_single_bit(DistMemo::kCapacity[0]) &&
              std::has_single_bit(DistMemo::kCapacity[1]));

// The abscissae are far from random (bisection points, node offsets of one rule), so their bits
// are mixed thoroughly before they pick an index slot.
std::uint64_t mix(std::uint64_t key) {
  key ^= key >> 30;
  key *= 0xbf58476d1ce4e5b9ULL;
  key ^= key >> 27;
  key *= 0x94d049bb133111ebULL;
  key ^= key >> 31;
  return key;
}

template <typename T>
T* zeroed_array(std::size_t count) {
  void* p = std::calloc(count, sizeof(T));
  if (p == nullptr) throw std::bad_alloc();
  return static_cast<T*>(p);
}

}  // namespace

std::uint32_t DistMemo::minority_entries_for(int npair) {
  return npair > kManyPairs ? kCapacity[0] * 4 : kCapacity[0];
}

DistMemo::DistMemo(std::uint32_t minority_entries) {
  for (int group = 0; group < 2; ++group) {
    Group& g = groups_[group];
    g.capacity =
        group == 0 && std::has_single_bit(minority_entries) ? minority_entries : kCapacity[group];
    g.index_mask = g.capacity * kIndexSlotsPerEntry - 1;
    g.entries.reset(zeroed_array<Entry>(g.capacity));
    g.abserr.reset(zeroed_array<double>(g.capacity));
    g.index.reset(zeroed_array<std::uint64_t>(std::size_t{g.index_mask} + 1));
  }
}

bool DistMemo::find(int group, double x, MemoCursor& cursor, DistEntry& entry) const {
  const std::uint64_t key = std::bit_cast<std::uint64_t>(x);
  const Group& g = groups_[group];
  const Entry* found = nullptr;
  // Usually the entry after the last one: the nodes come in the order they were computed.
  std::uint32_t position = cursor.last[group] + 1;
  if (position < g.capacity) {
    Entry& next = g.entries[position];
    if (std::atomic_ref(next.state).load(std::memory_order_acquire) == kReady && next.key == key)
      found = &next;
  }
  if (found == nullptr) found = find_indexed(g, key, position);
  if (found == nullptr) return false;

  cursor.last[group] = position;
  entry.log_density = found->log_density;
  entry.log_dist = found->log_dist;
  entry.log_complement = found->log_complement;
  entry.outcome.value = 0.0;
  entry.outcome.ier = found->ier_last & 0xff;
  entry.outcome.subintervals = found->ier_last >> 8;
  entry.outcome.abserr = entry.outcome.ier != 0 ? g.abserr[position] : 0.0;
  return true;
}

const DistMemo::Entry* DistMemo::find_indexed(const Group& g, std::uint64_t key,
                                              std::uint32_t& position) const {
  const std::uint64_t hash = mix(key);
  const std::uint64_t tag = hash >> 32;
  std::uint32_t at = static_cast<std::uint32_t>(hash) & g.index_mask;
  for (std::uint32_t probe = 0; probe < kMaxProbes; ++probe, at = (at + 1) & g.index_mask) {
    const std::uint64_t slot = std::atomic_ref(g.index[at]).load(std::memory_order_acquire);
    if (slot == 0) return nullptr;
    if (slot >> 32 != tag) continue;
    const std::uint32_t candidate = static_cast<std::uint32_t>(slot) - 1;
    // Published before the slot that points to it, so its fields are final.
    const Entry& e = g.entries[candidate];
    if (e.key == key) {
      position = candidate;
      return &e;
    }
  }
  return nullptr;
}

void DistMemo::insert(int group, double x, const DistEntry& entry, MemoCursor& cursor) {
  Group& g = groups_[group];
  if (cursor.next[group] == cursor.end[group]) {
    if (g.used.load(std::memory_order_relaxed) >= g.capacity) {
      g.refused.fetch_add(1, std::memory_order_relaxed);
      return;
    }
    const std::uint64_t start = g.used.fetch_add(kBlock, std::memory_order_relaxed);
    if (start >= g.capacity) {
      g.refused.fetch_add(1, std::memory_order_relaxed);
      return;
    }
    cursor.next[group] = static_cast<std::uint32_t>(start);
    cursor.end[group] =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(start + kBlock, g.capacity));
  }

  const std::uint32_t position = cursor.next[group]++;
  Entry& e = g.entries[position];
  e.ier_last = entry.outcome.ier != 0 ? entry.outcome.ier | entry.outcome.subintervals << 8 : 0;
  e.key = std::bit_cast<std::uint64_t>(x);
  e.log_density = entry.log_density;
  e.log_dist = entry.log_dist;
  e.log_complement = entry.log_complement;
  if (entry.outcome.ier != 0) g.abserr[position] = entry.outcome.abserr;
  std::atomic_ref(e.state).store(kReady, std::memory_order_release);
  cursor.last[group] = position;
  add_to_index(g, e.key, position);
}

void DistMemo::add_to_index(Group& g, std::uint64_t key, std::uint32_t position) {
  const std::uint64_t hash = mix(key);
  const std::uint64_t wanted = (hash >> 32) << 32 | (std::uint64_t{position} + 1);
  std::uint32_t at = static_cast<std::uint32_t>(hash) & g.index_mask;
  for (std::uint32_t probe = 0; probe < kMaxProbes; ++probe, at = (at + 1) & g.index_mask) {
    std::uint64_t expected = 0;
    if (std::atomic_ref(g.index[at])
            .compare_exchange_strong(expected, wanted, std::memory_order_release,
                                     std::memory_order_relaxed))
      return;
  }
  // Still found by a thread that reads the entries in the order they were written.
  g.unindexed.fetch_add(1, std::memory_order_relaxed);
}

std::size_t DistMemo::size(int group) const {
  const Group& g = groups_[group];
  std::size_t count = 0;
  for (std::uint32_t i = 0; i < g.capacity; ++i)
    count += std::atomic_ref(g.entries[i].state).load(std::memory_order_acquire) == kReady;
  return count;
}

std::uint64_t DistMemo::overflows() const {
  std::uint64_t count = 0;
  for (const Group& g : groups_)
    count +=
        g.unindexed.load(std::memory_order_relaxed) + g.refused.load(std::memory_order_relaxed);
  return count;
}

}  // namespace tarven::model
