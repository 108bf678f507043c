#include "engine/single/single_engine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "model/gauss_kronrod.h"
#include "model/order_statistic.h"

namespace tarven::engine::single {

using model::integrate_gauss_kronrod;
using model::OrderStatistic;
using model::Quadrature;
using model::quantile_at;
namespace {

// Each order statistic's window leaves out this probability on either side; what is left out is
// then bounded from the values at the window's ends and added to the error estimate.
constexpr double kWindowTail = 1e-20;
// Panels of the outer integration: 41-point Kronrod rules, at most this many.
constexpr int kMaxPanels = 96;
// Breaks around a screening edge, in units of its width.
constexpr std::array<double, 7> kEdgeOffsets = {-5.0, -2.5, -1.0, 0.0, 1.0, 2.5, 5.0};

// One order statistic of one group, with the window where its density lives.
struct Side {
  const PrescreenedGroup& group;
  OrderStatistic statistic;
  double lo = 0.0;
  double hi = 0.0;
};

Side make_side(const PrescreenedGroup& group, int k, int n) {
  Side side{group, OrderStatistic(k, n)};
  side.lo = quantile_at(group, side.statistic.lower_end(kWindowTail));
  side.hi = quantile_at(group, side.statistic.upper_end(kWindowTail));
  return side;
}

}  // namespace

SingleEngine::SingleEngine(const SingleProblem& problem)
    : problem_(problem),
      majority_(GroupParameters{problem.es, problem.rho, problem.zcut}),
      minority_(GroupParameters{0.0, problem.rho, problem.zcut}) {}

PairValue SingleEngine::cumulative(int i, int j) const {
  if (i < 1 || i > problem_.nmaj || j < 1 || j > problem_.nmin)
    return PairValue{std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), false};
  const Side major = make_side(majority_, i, problem_.nmaj);
  const Side minor = make_side(minority_, j, problem_.nmin);
  // Integrate against the density of the narrower order statistic (D) and take the other one's
  // distribution function (S), which is then the smoother factor of the integrand:
  // P(X_S <= X_D) = integral of f_D(x) P(X_S <= x) dx.
  const bool major_is_density = major.hi - major.lo <= minor.hi - minor.lo;
  const Side& dens = major_is_density ? major : minor;
  const Side& step = major_is_density ? minor : major;

  // Outside [lo, hi] one factor is negligible; a gap between the windows shrinks it to a point.
  double lo = std::max(dens.lo, step.lo);
  double hi = std::min(dens.hi, step.hi);
  if (!(lo < hi)) lo = hi = 0.5 * (lo + hi);

  // Integrate whichever of P(X_S <= x) and P(X_S > x) makes the smaller integral, so that small
  // results keep their relative accuracy.
  const double middle = 0.5 * (lo + hi);
  const bool lower_form = step.statistic.below(step.group.tails(middle)) <= 0.5;
  const auto integrand = [&dens, &step, lower_form](double x) {
    const Tails u = dens.group.tails(x);
    const double f = dens.statistic.density(u) * dens.group.pdf(x);
    if (!(f > 0.0)) return 0.0;
    const Tails v = step.group.tails(x);
    return f * (lower_form ? step.statistic.below(v) : step.statistic.above(v));
  };
  Quadrature quad{0.0, 0.0, true};
  if (lo < hi) {
    // Two panels for the bump of f_D, and breaks around each group's screening edge where a
    // correlation near +-1 makes it too sharp for panels of the bump's size to notice.
    std::array<double, 3 + 2 * kEdgeOffsets.size()> breaks{};
    int count = 0;
    breaks[count++] = lo;
    breaks[count++] = middle;
    breaks[count++] = hi;
    for (const PrescreenedGroup* group : {&majority_, &minority_}) {
      if (!(group->edge_width() < 0.25 * (hi - lo))) continue;
      for (const double offset : kEdgeOffsets) {
        const double x = group->edge() + offset * group->edge_width();
        if (x > lo && x < hi) breaks[count++] = x;
      }
    }
    std::sort(breaks.begin(), breaks.begin() + count);
    quad =
        integrate_gauss_kronrod<41, kMaxPanels>(integrand, breaks.data(), count, kTolerance, 0.0);
  }

  // The parts beyond the window, bounded by monotonicity of P(X_S <= x) and the exact mass of D
  // there: each is taken as the middle of its bounds, half their distance going to the error.
  const Tails d_lo = dens.group.tails(lo);
  const Tails d_hi = dens.group.tails(hi);
  const Tails s_lo = step.group.tails(lo);
  const Tails s_hi = step.group.tails(hi);
  const double mass_below = dens.statistic.below(d_lo);  // P(X_D <= lo)
  const double mass_above = dens.statistic.above(d_hi);  // P(X_D > hi)
  double tails_value, tails_error;
  if (lower_form) {
    // Below lo the integrand is within [0, f_D P(X_S <= lo)], above hi within
    // [f_D P(X_S <= hi), f_D].
    const double low = mass_below * step.statistic.below(s_lo);
    const double high_gap = mass_above * step.statistic.above(s_hi);
    tails_value = 0.5 * low + (mass_above - 0.5 * high_gap);
    tails_error = 0.5 * (low + high_gap);
  } else {
    const double low_gap = mass_below * step.statistic.below(s_lo);
    const double high = mass_above * step.statistic.above(s_hi);
    tails_value = (mass_below - 0.5 * low_gap) + 0.5 * high;
    tails_error = 0.5 * (low_gap + high);
  }
  const double part = quad.value + tails_value;  // P(X_S <= X_D) or its complement
  const double s_below_d = lower_form ? part : 1.0 - part;
  PairValue result{};
  // M <= w exactly when the minority statistic lies below the majority one.
  result.value = major_is_density ? s_below_d : 1.0 - s_below_d;
  result.value = std::clamp(result.value, 0.0, 1.0);
  result.abserr = quad.abserr + tails_error;
  result.converged = quad.converged && result.abserr <= kTolerance;
  return result;
}

}  // namespace tarven::engine::single
