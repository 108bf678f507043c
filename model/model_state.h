#pragma once

// Everything the model's integrands read besides their abscissa. The integrators call back with
// one double only, so one ModelState per computation travels to the callbacks through
// gsl_function::params; nothing of it is global, and two computations (two threads, say) each
// need their own.

#include <atomic>
#include <cstdint>

#include "model/diagnostics.h"
#include "numlib/quadpack.h"

namespace tarven::model {

class DistMemo;  // model/dist_memo.h

// Subinterval limits of the integrations nested under one pair.
inline constexpr int kDistLimit = 12500;   // DQAGI of dist
inline constexpr int kInnerLimit = 25000;  // DQAGE of fun

// Values that depend only on rho, es and zcut, kept so that phide does not recompute them on every
// call. They are formed by exactly the operations phide would use, so keeping them changes no
// bits; phide refreshes them whenever the bits of rho, es or zcut differ from those they were
// formed from, so whoever writes those fields needs to do nothing else.
struct PrescreenConstants {
  std::uint64_t rho_bits = 0;
  std::uint64_t es_bits = 0;
  std::uint64_t zcut_bits = 0;
  bool valid = false;
  double root = 0.0;  // sqrt(1 - rho*rho)
  // Per group, [0] minority and [1] majority: zcut minus the group's pre-screening mean.
  double cut[2] = {0.0, 0.0};
  double tail[2] = {0.0, 0.0};  // 1 - phid(cut[g]), the group's retention
};

// ln B(nmin - jorder + 1, jorder) for the (nmin, jorder) it was formed from. fun needs it on every
// call but the pair changes only between outer integrations, so fun forms it again only when the
// pair differs; DLBETA gives the same bits for the same arguments, so this changes no result.
struct MinorityNormaliser {
  int nmin = -1;
  int jorder = -1;
  double value = 0.0;
};

// Where one state (one thread) stands in a DistMemo (model/dist_memo.h), per group: the entry it
// used last, and the block of free entries it writes its own new values into.
struct MemoCursor {
  std::uint32_t last[2] = {~std::uint32_t{0}, ~std::uint32_t{0}};
  std::uint32_t next[2] = {0, 0};
  std::uint32_t end[2] = {0, 0};
};

struct ModelState {
  double lbeta1 = 0.0;  // ln B(nmaj - iorder + 1, iorder), set before each outer integration
  double lbeta2 = 0.0;  // ln B(nmin - jorder + 1, jorder), set by fun before its inner integration
  double rsq2pi = 0.0;  // 1/sqrt(2*pi), set once at start-up
  double es = 0.0;      // effect size: majority predictor mean minus minority mean
  int jorder = 0;       // rank (from the lowest) of the minority order statistic of the pair
  int iorder = 0;       // rank (from the lowest) of the majority order statistic of the pair
  int nmaj = 0;
  int nmin = 0;
  int nsel = 0;
  int imom = 0;       // exactly 1: phide returns x times the density
  double zcut = 0.0;  // pre-screening cutoff on the standard normal scale
  double rho = 0.0;   // correlation of predictor and pre-screening variable, |rho| < 1
  int imaj = 0;       // non-zero: phide evaluates the majority group

  // Work areas, allocated once with the state and reused by every call.
  numlib::QuadWorkspace dist_work{kDistLimit};    // DQAGI of dist
  numlib::QuadWorkspace inner_work{kInnerLimit};  // DQAGE of fun
  // Where the integrands' console lines and the library's messages go.
  Diagnostics* diagnostics = &direct_diagnostics();

  // Keep what is fixed for the problem (the square root of 1 - rho*rho and each group's retained
  // share in phide, lbeta2 per pair in fun) instead of recomputing it on every call. The kept
  // values have the bits of the recomputed ones; switching it off gives the evaluation exactly as
  // the formulas are written, which the fast one is measured and checked against.
  bool keep_constants = true;
  PrescreenConstants prescreen;      // maintained by phide
  MinorityNormaliser minority_norm;  // maintained by fun

  // Distribution values shared by every state evaluating this problem, or nullptr to compute each
  // one. Consulted by fun and fu1 for the plain density only (imom != 1). The memo belongs to one
  // problem: whoever changes es, rho, zcut or rsq2pi must not keep it.
  DistMemo* memo = nullptr;
  MemoCursor memo_cursor;  // this state's own place in the memo
  // Set by another thread when the integral under way is no longer wanted: fun then returns 0 at
  // once, so the outer integration ends quickly with a meaningless result that the caller discards.
  const std::atomic<bool>* cancel = nullptr;
};

}  // namespace tarven::model
