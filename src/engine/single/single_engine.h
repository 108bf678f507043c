#pragma once

// The probability that at most w of the nsel hires come from the minority, for top-down selection
// from nmaj majority and nmin minority applicants: P(minority j-th lowest < majority i-th lowest)
// with j = nmin - w and i = nmaj - nsel + w + 1, as one integral over the predictor's scale.

#include "model/prescreened_group.h"

namespace tarven::engine::single {

using model::GroupParameters;
using model::PrescreenedGroup;
using model::Tails;

struct SingleProblem {
  int nmaj = 0;
  int nmin = 0;
  double es = 0.0;    // majority mean minus minority mean of the predictor
  double rho = 0.0;   // correlation of predictor and screening variable, |rho| <= 0.999
  double zcut = 0.0;  // screening cut: Phi^-1(1 - retention)
};

// Trivial, so that the values of hundreds of thousands of pairs can be allocated without being
// written twice.
struct PairValue {
  double value;    // P(M <= w)
  double abserr;   // estimate of its absolute error
  bool converged;  // the estimate is within the engine's tolerance
};

// Immutable after construction; cumulative() allocates nothing and may be called from several
// threads at once.
class SingleEngine {
 public:
  explicit SingleEngine(const SingleProblem& problem);

  // P(minority j-th lowest < majority i-th lowest), 1 <= i <= nmaj, 1 <= j <= nmin. Outside that
  // range the value is NaN and converged is false.
  PairValue cumulative(int i, int j) const;

  // The absolute error the integration aims at; converged means abserr is within it.
  static constexpr double kTolerance = 2e-14;

 private:
  SingleProblem problem_;
  PrescreenedGroup majority_;
  PrescreenedGroup minority_;
};

}  // namespace tarven::engine::single
