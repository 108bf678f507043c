#pragma once

// The mean predictor score of each pre-screened group, twice: by integrating the pre-screened
// density, and by the closed formula for a normal variable selected on a correlated normal
// variable; the two agree when the distribution integrals behave.

#include "model/diagnostics.h"
#include "model/population.h"
#include "numlib/quadpack.h"
#include "tarven/result.h"

namespace tarven::core {

struct GroupMeanCheck {
  GroupMeans integrated;
  GroupMeans closed_form;
};

// The integrals run in `work` (kDistLimit subintervals) up to 7, leaving out the mass above it;
// what they report goes to `sink`.
GroupMeanCheck check_group_means(const model::Population& p, numlib::QuadWorkspace& work,
                                 model::DiagnosticSink& sink);

}  // namespace tarven::core
