#pragma once

// How an evaluation is carried out. Every setting gives the same bits for the same engine.

#include <array>
#include <atomic>
#include <optional>
#include <string_view>

namespace tarven {

enum class Engine {
  // One integral per split with the closed forms inside: exact to 1e-12 over the whole real line;
  // no window, no retries, no abandonment.
  kSingle,
  kNested,  // three nested adaptive integrations per pair, as the formulas are written
};

// Every engine, the default first.
inline constexpr std::array<Engine, 2> kEngines{Engine::kSingle, Engine::kNested};

// The engine's word in every face of the program: "single", "nested".
const char* engine_name(Engine engine);
// The engine a word names (exactly as engine_name writes it); empty for any other word.
std::optional<Engine> parse_engine(std::string_view name);

struct Options {
  Engine engine = Engine::kSingle;
  int threads = 0;  // threads evaluating pairs; 0 = one per available core

  // Nested engine only: remember distribution values across integrand calls, and keep what is
  // fixed for the problem (square roots, retained shares, log-beta normalisers) instead of
  // recomputing it in every integrand call. Neither changes a bit of the result.
  bool memo = true;
  bool keep_constants = true;
  // Nested engine only: compare every pair value with the single-integral engine's afterwards
  // (Result::discrepancies).
  bool check_pairs = true;

  // When set (by another thread, a signal handler, or an Observer's progress call), the
  // evaluation ends within 0.5 s with the cancelled status. May be nullptr.
  const std::atomic<bool>* cancel = nullptr;

  // The nested engine at its quickest: all cores, remembered distribution values, kept
  // constants, every pair checked against the single-integral engine.
  static Options nested();
  // The nested engine in the straightforward way: one integral after the other on one thread,
  // every value computed afresh, exactly as the formulas are written. It gives the same bits as
  // nested(), which is checked and measured against it.
  static Options nested_straightforward();
};

}  // namespace tarven
