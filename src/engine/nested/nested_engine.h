#pragma once

// The nested evaluation of every pair: the outer integral of fun over the window, fun's inner
// integral of fu1, and the distribution integrals under both, decided pair by pair by the
// enumeration. Serially, or with workers ahead of the enumeration and a shared memo; every
// setting gives the same bits and the same diagnostics in the same order.

#include <atomic>
#include <functional>

#include "engine/nested/enumeration.h"
#include "model/diagnostics.h"
#include "model/pair_state.h"
#include "model/population.h"

namespace tarven::engine::nested {

struct NestedSettings {
  int threads = 1;    // threads integrating pairs (at least 1)
  bool memo = false;  // remember distribution values across integrand calls
  // Replaces the result r of every attempt (pair counter k, interval [a, b]) before
  // the enumeration judges it, so that retries, capping and abandonment can be forced on a real
  // problem.
  std::function<double(int k, double a, double b, double r)> adjust_result;
  // An error code reported for the outer integration of an attempt, as if DQAG had
  // ended with it (0: none); 6 stops the evaluation.
  std::function<int(int k, double a, double b)> outer_ier;
};

// Receives every attempt and every diagnostic, in the order a serial evaluation makes them, and
// tells when the evaluation has stopped. Called on the calling thread only, which also beats the
// heartbeat often while it integrates or waits for the workers.
class NestedListener : public EnumerationListener,
                       public model::DiagnosticSink,
                       public model::Heartbeat {
 public:
  // Read by the integrands evaluated on the calling thread: set, they return at once.
  virtual const std::atomic<bool>* stop_flag() const = 0;
};

Enumeration evaluate_pairs_nested(const model::Population& population,
                                  const NestedSettings& settings, NestedListener& listener);

}  // namespace tarven::engine::nested
