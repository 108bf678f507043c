#pragma once

// What one thread needs to evaluate the integrands of pairs: the problem (shared, immutable), the
// pair it is working on with its log-beta normalisers, its own work areas and its place in the
// shared memo. The integrators call back with one double only, so the state travels to the
// callbacks through gsl_function::params; two threads each need their own.

#include <atomic>

#include "model/diagnostics.h"
#include "model/dist_memo.h"
#include "model/population.h"
#include "model/prescreened.h"
#include "numlib/quadpack.h"

namespace tarven::model {

// Subinterval limit of fun's inner integration.
inline constexpr int kInnerLimit = 25000;

// ln B(nmin - jorder + 1, jorder) for the jorder it was formed from. fun needs it on every call
// but the pair changes only between outer integrations, so fun forms it again only when the pair
// differs; DLBETA gives the same bits for the same arguments, so this changes no result.
struct MinorityNormaliser {
  int jorder = -1;
  double value = 0.0;
};

// Something that wants a sign of life now and then from a long computation.
class Heartbeat {
 public:
  virtual void beat() = 0;

 protected:
  ~Heartbeat() = default;
};

struct PairState {
  PairState(const Population& p, DiagnosticSink& sink) : population(&p), diagnostics(&sink) {}
  PairState(const PairState&) = delete;
  PairState& operator=(const PairState&) = delete;

  const Population* population;
  int iorder = 0;       // rank (from the lowest) of the majority order statistic of the pair
  int jorder = 0;       // rank (from the lowest) of the minority order statistic of the pair
  double lbeta1 = 0.0;  // ln B(nmaj - iorder + 1, iorder), set before each outer integration
  double lbeta2 = 0.0;  // ln B(nmin - jorder + 1, jorder), set by fun before its inner integration

  // Work areas, allocated once with the state and reused by every call.
  numlib::QuadWorkspace dist_work{kDistLimit};    // DQAGI of dist
  numlib::QuadWorkspace inner_work{kInnerLimit};  // DQAGE of fun
  DiagnosticSink* diagnostics;                    // where abnormal integrations are reported
  MinorityNormaliser minority_norm;               // maintained by fun

  // Distribution values shared by every state evaluating this problem, or nullptr to compute each
  // one. Consulted by fun and fu1 (plain densities only). The memo belongs to one population.
  DistMemo* memo = nullptr;
  MemoCursor memo_cursor;  // this state's own place in the memo
  // Set by another party when the integral under way is no longer wanted (the evaluation stopped,
  // or a worker's pair is not needed): fun then returns 0 at once, so the outer integration ends
  // quickly with a meaningless result that the caller discards.
  const std::atomic<bool>* cancel = nullptr;
  // Told of every outer integrand call made with this state, on the thread that owns it, so that
  // an integral that runs long can still report progress and notice a cancellation; nullptr for
  // none.
  Heartbeat* heartbeat = nullptr;
};

}  // namespace tarven::model
