#pragma once

#include "io/output_unit.h"
#include "model/model_state.h"

namespace tarven::driver {

// Shows on the console the mean predictor score of each pre-screened group twice, integrated and
// in closed form, so that a user can see at a glance whether the distribution integrals behave.
// Leaves imom at 0 and imaj at 1.
void group_mean_check(model::ModelState& state, io::OutputUnit& console);

}  // namespace tarven::driver
