#include "model/window.h"

#include <algorithm>
#include <cmath>

#include "model/integrands.h"
#include "model/prescreened.h"

namespace tarven::model {

double outside_window_probability(ModelState& s) {
  const int saved_imaj = s.imaj;
  const int saved_imom = s.imom;
  s.imom = 0;
  // Quiet integrations: this estimate is ours, not a step of the computation, so it must neither
  // add diagnostics to the console nor use up the library's allowance of printed messages.
  s.imaj = 1;
  const double maj_high = integrate_dist(kWindowHigh, s).value;
  const double maj_low = integrate_dist(kWindowLow, s).value;
  s.imaj = 0;
  const double min_low = integrate_dist(kWindowLow, s).value;
  s.imaj = saved_imaj;
  s.imom = saved_imom;

  // Mass of one applicant outside the window; the integrals may land a hair outside [0, 1].
  const double maj_out =
      std::clamp(std::max(1.0 - maj_high, 0.0) + std::max(maj_low, 0.0), 0.0, 1.0);
  const double min_out = std::clamp(min_low, 0.0, 1.0);
  // P(all inside) = (1 - maj_out)^nmaj * (1 - min_out)^nmin, the groups being independent; the
  // majority's two tails are disjoint events of one draw, so they add exactly. Logarithms keep
  // tiny probabilities from vanishing in 1 - (1 - p)^n.
  double log_inside = 0.0;
  if (s.nmaj != 0) log_inside += static_cast<double>(s.nmaj) * std::log1p(-maj_out);
  if (s.nmin != 0) log_inside += static_cast<double>(s.nmin) * std::log1p(-min_out);
  return -std::expm1(log_inside);
}

}  // namespace tarven::model
