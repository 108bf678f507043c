#pragma once

// Remembered distribution values. For one problem, dist(x) and phide(x) of a group depend on
// nothing but x, and the pairs of a run ask for the same abscissae again and again: the adaptive
// integrations of neighbouring pairs bisect the same intervals and so land on the same
// Gauss-Kronrod nodes. A table keyed by the exact bits of x turns those repeats into look-ups.
//
// Entries are appended to an array in the order they were computed, and an index (open
// addressing on the bits of x) finds them. A pair asks for the nodes of an interval in the same
// order as the pair that computed them first, so a look-up first tries the entry right after the
// one the same thread found last; that hits nearly always and keeps the look-ups in the cache.
//
// Both are allocated once, with a fixed capacity, and shared by every thread evaluating the
// problem. A thread writes its new entries into a block of the array reserved for it and
// publishes each entry before the index points to it, so readers never lock. Two threads that
// miss the same abscissa at the same time both store it; both copies hold the same bits. When
// the array is full a value is simply not kept: it is computed again the next time, never
// replaced by a different one.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "model/prescreened.h"

namespace tarven::model {

// Where one state (one thread) stands in a DistMemo, per group: the entry it used last, and the
// block of free entries it writes its own new values into.
struct MemoCursor {
  std::uint32_t last[2] = {~std::uint32_t{0}, ~std::uint32_t{0}};
  std::uint32_t next[2] = {0, 0};
  std::uint32_t end[2] = {0, 0};
};

// What fun and fu1 take from one abscissa of one group: ln phide(x), and ln F and ln(1 - F) of
// F = dist(x) (the integrands use F only through these), with the outcome of dist(x) that a
// look-up needs to print what the computation would have printed.
struct DistEntry {
  double log_density = 0.0;
  double log_dist = 0.0;        // ln F
  double log_complement = 0.0;  // ln(1 - F)
  DistOutcome outcome;          // its value is not kept in the memo; ier, abserr and
                                // subintervals are, when ier != 0
};

class DistMemo {
 public:
  // Entries per group, [0] minority and [1] majority. The minority values are asked for at the
  // nodes of the inner integrations, which differ for every outer abscissa; the majority values
  // only at the outer abscissae, a few hundred per run. The largest problem we time (1000
  // applicants) needs 126000 and 550 distinct values, and keeps about 146000 minority entries
  // when two threads store some values twice; the capacity leaves room for bigger problems.
  static constexpr std::uint32_t kCapacity[2] = {std::uint32_t{1} << 19, std::uint32_t{1} << 13};
  // Index slots per entry: the index is at most half full, so a search ends after a probe or two.
  static constexpr std::uint32_t kIndexSlotsPerEntry = 2;
  // Index slots looked at for one abscissa before giving up.
  static constexpr std::uint32_t kMaxProbes = 32;
  // Memory of the arrays at the default capacity, 32.5 MiB (four times the minority part for
  // problems of thousands of pairs). The entries are touched only as they are used; the index (8
  // MiB) is spread over by any problem that stores more than a few thousand values.
  static constexpr std::size_t kBytes =
      std::size_t{kCapacity[0] + kCapacity[1]} *
      (sizeof(double) * 5 + sizeof(double) + kIndexSlotsPerEntry * 8);

  // Room for `minority_entries` minority values (a power of two; kCapacity[0] by default).
  explicit DistMemo(std::uint32_t minority_entries = kCapacity[0]);
  // The minority room for a problem of `npair` pairs: problems of thousands of pairs (a million
  // applicants with thousands hired) need more than 600,000 distinct values, and a full table
  // makes their time depend on which thread stored what first.
  static std::uint32_t minority_entries_for(int npair);
  DistMemo(const DistMemo&) = delete;
  DistMemo& operator=(const DistMemo&) = delete;

  // group: 0 minority, 1 majority (index_of); cursor: the calling state's own (one per thread).
  // True, with the stored entry, when x of the group is present.
  bool find(int group, double x, MemoCursor& cursor, DistEntry& entry) const;
  // Keeps the entry unless the array is full.
  void insert(int group, double x, const DistEntry& entry, MemoCursor& cursor);

  // For measurements, not for the hot path: entries kept, and values that found no room.
  std::size_t size(int group) const;
  std::uint64_t overflows() const;

 private:
  // Accessed through std::atomic_ref: the arrays come zeroed from calloc, so that the pages of a
  // large capacity cost nothing until they are used.
  struct Entry {
    std::uint32_t state;    // kEmpty, then kReady once the fields below are final
    std::int32_t ier_last;  // ier | subintervals << 8 (ier is at most 6)
    std::uint64_t key;
    double log_density;
    double log_dist;
    double log_complement;
  };
  static_assert(sizeof(Entry) == 40);

  struct Free {
    void operator()(void* p) const { std::free(p); }
  };
  struct Group {
    std::unique_ptr<Entry[], Free> entries;
    std::unique_ptr<double[], Free> abserr;  // abserr[i] belongs to entries[i] when its ier != 0
    // 0 = empty, else (hash tag << 32) | (entry position + 1).
    std::unique_ptr<std::uint64_t[], Free> index;
    std::uint32_t capacity = 0;
    std::uint32_t index_mask = 0;
    std::atomic<std::uint64_t> used{0};       // entries handed out in blocks
    std::atomic<std::uint64_t> unindexed{0};  // entries the index had no room for
    std::atomic<std::uint64_t> refused{0};    // values not kept because the array was full
  };

  const Entry* find_indexed(const Group& g, std::uint64_t key, std::uint32_t& position) const;
  void add_to_index(Group& g, std::uint64_t key, std::uint32_t position);

  Group groups_[2];
};

}  // namespace tarven::model
