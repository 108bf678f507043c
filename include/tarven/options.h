#pragma once

// How an evaluation is carried out. Every setting of the nested engine gives the same bits.

#include <atomic>
#include <functional>

namespace tarven {

enum class Engine {
  kNested,  // three nested adaptive integrations per pair, as the formulas are written
  // One integral per split with the closed forms inside: exact to 1e-12 over the whole real line,
  // hundreds of times faster; no window, no retries, no abandonment.
  kSingle,
};

struct Options {
  // The nested engine is the default, so that the dialogue's report keeps every digit it has
  // always printed; the command line chooses the single-integral engine.
  Engine engine = Engine::kNested;
  int threads = 0;   // threads evaluating pairs; 0 = one per available core
  bool memo = true;  // remember distribution values across integrand calls
  // Keep what is fixed for the problem (square roots, retained shares, log-beta normalisers)
  // instead of recomputing it in every integrand call.
  bool keep_constants = true;

  // Compare every pair value of the nested engine with the single-integral engine's afterwards.
  bool check_pairs = true;

  // When set (by another thread, or a signal handler), the evaluation ends as soon as the pair
  // under way is decided, with Status::kCancelled. May be nullptr.
  const std::atomic<bool>* cancel = nullptr;

  // The straightforward evaluation: one integral after the other on one thread, every value
  // computed afresh, exactly as the formulas are written. The reference the others are checked
  // and measured against.
  static Options reference();
  // The fast evaluation (the default): all cores, remembered distribution values, kept constants.
  static Options fast();

  // Seams for tests; empty in normal use.
  struct Testing {
    // Replaces the result r of every attempt (pair counter k, interval [a, b]) before the
    // enumeration judges it, so that retries, capping and abandonment can be forced.
    std::function<double(int k, double a, double b, double r)> adjust_result;
    // An error code reported for the outer integration of an attempt as if the integrator had
    // ended with it (0: none); 6 stops the evaluation.
    std::function<int(int k, double a, double b)> outer_ier;
  } testing;
};

}  // namespace tarven
