#pragma once

// Seams through which tests force what no valid problem reaches: a retry, an abandonment, a
// library stop, an unconverged pair, an allocation failure. Installed for the calling thread only,
// for as long as a ScopedSeams lives; evaluations on other threads never see them, and without
// one every seam is empty. This is the library's only thread-local state, and only tests write it.

#include <functional>

namespace tarven::core {

struct Seams {
  // Nested engine: replaces the result r of every attempt (pair counter k, interval [a, b]) before
  // the enumeration judges it, so that retries, capping and abandonment can be forced.
  std::function<double(int k, double a, double b, double r)> adjust_result{};
  // Nested engine: an error code reported for the outer integration of an attempt as if the
  // integrator had ended with it (0: none); 6 stops the evaluation.
  std::function<int(int k, double a, double b)> outer_ier{};
  // Single-integral engine: pair k (0: none) is reported as not having reached its tolerance.
  int unconverged_pair = 0;
  // analyse: an allocation fails while the rates are computed.
  bool fail_allocation = false;
};

class ScopedSeams {
 public:
  explicit ScopedSeams(Seams seams);
  ~ScopedSeams();
  ScopedSeams(const ScopedSeams&) = delete;
  ScopedSeams& operator=(const ScopedSeams&) = delete;

 private:
  Seams seams_;
  const Seams* outer_;
};

// The calling thread's seams (all empty unless a ScopedSeams lives on this thread).
const Seams& seams();

}  // namespace tarven::core
