#pragma once

// How much of the applicants' score distribution falls outside the integration window
// [-6.5, 6.5], in the sense that matters to the pair probabilities: they lose the samples whose
// best majority score lies above 6.5 or whose worst score of either group lies below -6.5.

#include "model/model_state.h"

namespace tarven::model {

// Upper end of the window of the outer integration.
inline constexpr double kWindowHigh = 6.5;

// Probability that a sample of s.nmaj majority and s.nmin minority applicants has its best
// majority score above 6.5 or the worst score of either group below -6.5. Uses three dist values
// (plain densities); s.imaj and s.imom are restored before returning.
double outside_window_probability(ModelState& s);

}  // namespace tarven::model
