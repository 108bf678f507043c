#include "model/window.h"

#include <algorithm>
#include <cmath>

#include "model/prescreened.h"
#include "model/prescreened_group.h"

namespace tarven::model {

double outside_window_probability(const Population& p, numlib::QuadWorkspace& dist_work) {
  // Quiet integrations: this estimate is ours, not a step of the computation, so it must neither
  // add diagnostics nor use up the library's allowance of printed messages.
  const double maj_high =
      integrate_dist(kWindowHigh, Group::kMajority, Moment::kDensity, p, dist_work).value;
  const double maj_low =
      integrate_dist(kWindowLow, Group::kMajority, Moment::kDensity, p, dist_work).value;
  const double min_low =
      integrate_dist(kWindowLow, Group::kMinority, Moment::kDensity, p, dist_work).value;

  // Mass of one applicant outside the window; the integrals may land a hair outside [0, 1].
  const double maj_out =
      std::clamp(std::max(1.0 - maj_high, 0.0) + std::max(maj_low, 0.0), 0.0, 1.0);
  const double min_out = std::clamp(min_low, 0.0, 1.0);
  // P(all inside) = (1 - maj_out)^nmaj * (1 - min_out)^nmin, the groups being independent; the
  // majority's two tails are disjoint events of one draw, so they add exactly. Logarithms keep
  // tiny probabilities from vanishing in 1 - (1 - p)^n.
  double log_inside = 0.0;
  if (p.nmaj != 0) log_inside += static_cast<double>(p.nmaj) * std::log1p(-maj_out);
  if (p.nmin != 0) log_inside += static_cast<double>(p.nmin) * std::log1p(-min_out);
  return -std::expm1(log_inside);
}

Window window_covering(const Population& p, double mass) {
  const double tail = mass / (2.0 * (static_cast<double>(p.nmaj) + static_cast<double>(p.nmin)));
  const PrescreenedGroup majority(GroupParameters{p.es, p.rho, p.zcut});
  const PrescreenedGroup minority(GroupParameters{0.0, p.rho, p.zcut});
  return Window{std::min(majority.quantile(tail), minority.quantile(tail)),
                std::max(majority.upper_quantile(tail), minority.upper_quantile(tail))};
}

}  // namespace tarven::model
