#include "driver/group_mean_check.h"

#include "io/formats.h"
#include "model/normal.h"
#include "model/prescreened.h"

namespace tarven::driver {
namespace {

// The integrals stop here rather than at infinity; the mass above it is left out of the means.
constexpr double kMeanBound = 7.0;

}  // namespace

void group_mean_check(model::ModelState& state, io::OutputUnit& console) {
  state.imaj = 0;
  state.imom = 1;
  const double zmi = model::dist(kMeanBound, state);
  state.imaj = 1;
  const double zma = model::dist(kMeanBound, state);
  io::write(console, io::kFormat4320, {zmi, zma});

  const double closed_zmi =
      state.rho * model::phib(state.zcut, 0.0, 1.0, state) / (1.0 - model::phid(state.zcut));
  const double c = state.zcut - state.rho * state.es;
  const double closed_zma =
      state.rho * model::phib(c, 0.0, 1.0, state) / (1.0 - model::phid(c)) + state.es;
  io::write(console, io::kFormat4320, {closed_zmi, closed_zma});

  state.imom = 0;
}

}  // namespace tarven::driver
