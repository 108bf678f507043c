#pragma once

// The integration window of the nested evaluation: the outer integral of a pair runs over
// [kWindowLow, kWindowHigh] (narrowed on retries), the inner one from kWindowLow. How much of the
// applicants' score distribution falls outside it, in the sense that matters to the pair
// probabilities: they lose the samples whose best majority score lies above kWindowHigh or whose
// worst score of either group lies below kWindowLow.

#include "model/population.h"
#include "numlib/quadpack.h"

namespace tarven::model {

inline constexpr double kWindowLow = kStandardWindow.low;
inline constexpr double kWindowHigh = kStandardWindow.high;

// Probability that a sample of p.nmaj majority and p.nmin minority applicants has its best
// majority score above kWindowHigh or the worst score of either group below kWindowLow. Uses three
// dist values, integrated quietly in `dist_work` (kDistLimit subintervals).
double outside_window_probability(const Population& p, numlib::QuadWorkspace& dist_work);

// The window outside which a score of a sample of p.nmaj majority and p.nmin minority applicants
// lies with probability at most `mass`: each tail of each group's pre-screened distribution is
// cut at mass / (2 (nmaj + nmin)), from the closed forms.
Window window_covering(const Population& p, double mass);

}  // namespace tarven::model
