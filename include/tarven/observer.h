#pragma once

// Live progress of an evaluation, for a front end that shows the run as it goes. Every call comes
// from the thread that called evaluate() or analyse(), in the order the events happen; the default
// of every event is to ignore it.

#include <cstdint>

#include "tarven/result.h"

namespace tarven {

class Observer {
 public:
  virtual ~Observer() = default;
  // The two checks of the pre-screened group means, before anything else is computed.
  virtual void group_means(const GroupMeans& /*integrated*/, const GroupMeans& /*closed_form*/) {}
  // The chance of a score outside the standard integration window, and the window used, before
  // the pairs.
  virtual void window(double /*probability*/, const IntegrationWindow& /*used*/) {}
  // The pairs are about to be computed.
  virtual void pairs_started(int /*npair*/) {}
  // An attempt at a pair was decided (accepted, capped, retried, saturated).
  virtual void pair(const PairResult& /*pair*/) {}
  // A diagnostic was raised (it comes before the pair event of the attempt that raised it).
  virtual void diagnostic(const Diagnostic& /*diagnostic*/) {}
  // How far the evaluation has come: `done` of `total` steps (pairs, then the rates), called at
  // least every 0.25 s while an evaluation runs longer than that, and once at the end of one that
  // was not cancelled. A binding
  // shows it, or polls its own interrupt here and sets the cancel flag of Options: the evaluation
  // then ends within 0.5 s with the cancelled status.
  virtual void progress(std::int64_t /*done*/, std::int64_t /*total*/) {}
};

}  // namespace tarven
