#include "model/prescreened_group.h"

#include <algorithm>
#include <boost/math/special_functions/erf.hpp>
#include <cmath>
#include <limits>

#include "model/bivariate_normal.h"
#include "model/math_policy.h"
#include "model/standard_normal.h"

namespace tarven::model {
namespace {

constexpr double kFar = 100.0;

}  // namespace

PrescreenedGroup::PrescreenedGroup(const GroupParameters& group)
    : mu_(group.mu),
      rho_(group.rho),
      zcut_(group.zcut),
      c_(minus_product(group.zcut, group.rho, group.mu)),
      sigma_(std::sqrt((1.0 - group.rho) * (1.0 + group.rho))),
      retained_(normal_sf(c_)) {
  // X - mu given Z' > c has mean rho * lambda and variance 1 + rho^2 lambda (c - lambda), lambda
  // the inverse Mills ratio phi(c) / Q(c).
  const double lambda = normal_pdf(c_) / retained_;
  centre_ = rho_ * lambda;
  const double variance = 1.0 + rho_ * rho_ * lambda * (c_ - lambda);
  spread_ = variance > 0.0 ? std::sqrt(variance) : 1.0;
}

Tails PrescreenedGroup::tails(double x) const {
  const double t = x - mu_;
  if (std::isnan(t)) return Tails{t, t};
  // Beyond a hundred units both tails are below the smallest double even after division by the
  // smallest retained share in range (about 1e-49); the limits are then exact.
  if (t > kFar) return Tails{1.0, 0.0};
  if (t < -kFar) return Tails{0.0, 1.0};
  if (rho_ == 0.0) return Tails{normal_cdf(t), normal_sf(t)};
  // P(X - mu > t, Z' > c) and P(X - mu <= t, Z' > c) are upper orthants of correlation rho and
  // -rho. The one on the far side of the centre is the smaller; the other is what remains of the
  // retained share, without cancellation since it is at least half of it.
  const double half = 0.5 * retained_;
  const auto from_upper = [this](double upper) {
    return Tails{1.0 - upper / retained_, upper / retained_};
  };
  const auto from_lower = [this](double lower) {
    return Tails{lower / retained_, 1.0 - lower / retained_};
  };
  const double e1 = cut_less_rho_t(x);
  const double e2 = t_less_rho_cut(x);
  const auto upper_orthant = [&] { return bivariate_normal_upper(t, c_, rho_, e1, e2); };
  const auto lower_orthant = [&] { return bivariate_normal_upper(-t, c_, -rho_, e1, -e2); };
  if (t >= centre_) {
    const double upper = upper_orthant();
    return upper <= half ? from_upper(upper) : from_lower(lower_orthant());
  }
  const double lower = lower_orthant();
  return lower <= half ? from_lower(lower) : from_upper(upper_orthant());
}

double PrescreenedGroup::cut_less_rho_t(double x) const {
  return minus_product(zcut_, rho_, x);
}

double PrescreenedGroup::t_less_rho_cut(double x) const {
  return minus_product(x, rho_, zcut_) - mu_ * sigma_ * sigma_;
}

double PrescreenedGroup::pdf(double x) const {
  const double t = x - mu_;
  if (std::fabs(t) > kFar) return 0.0;
  if (rho_ == 0.0) return normal_pdf(t);
  return normal_pdf(t) * normal_sf(cut_less_rho_t(x) / sigma_) / retained_;
}

double PrescreenedGroup::edge() const {
  if (rho_ == 0.0) return std::numeric_limits<double>::infinity();
  return zcut_ / rho_;
}

double PrescreenedGroup::quantile(double p) const {
  return solve(p, false);
}
double PrescreenedGroup::upper_quantile(double s) const {
  return solve(s, true);
}

// Newton's method on the logarithm of the tail, which is concave (the density is log-concave), kept
// inside a bracket that every step narrows; bisection where a step would leave it.
double PrescreenedGroup::solve(double target, bool upper) const {
  if (!(target > 0.0))
    return upper ? std::numeric_limits<double>::infinity()
                 : -std::numeric_limits<double>::infinity();
  if (!(target < 1.0))
    return upper ? -std::numeric_limits<double>::infinity()
                 : std::numeric_limits<double>::infinity();
  const double log_target = std::log(target);
  // Start from the normal with the screened group's mean and spread.
  const double z = -boost::math::erfc_inv(2.0 * target, Fast()) / kInvSqrt2;
  double x = mu_ + centre_ + (upper ? -z : z) * spread_;
  double lo = -std::numeric_limits<double>::infinity();
  double hi = std::numeric_limits<double>::infinity();
  for (int iteration = 0; iteration < 200; ++iteration) {
    const Tails tl = tails(x);
    const double tail = upper ? tl.sf : tl.cdf;
    const double gap = std::log(tail) - log_target;  // increasing in x for the cdf
    const bool beyond = upper ? gap < 0.0 : gap > 0.0;
    if (beyond)
      hi = x;
    else
      lo = x;
    if (std::fabs(gap) < 1e-11) return x;
    const double density = pdf(x);
    double next = x;
    if (density > 0.0 && tail > 0.0) next = x + (upper ? gap : -gap) * tail / density;
    if (!(next > lo && next < hi)) {
      if (std::isfinite(lo) && std::isfinite(hi)) {
        next = 0.5 * (lo + hi);
      } else {
        const double step = 2.0 * spread_ + std::fabs(x - mu_);
        next = std::isfinite(lo) ? lo + step : hi - step;
      }
    }
    if (next == x) break;
    x = next;
  }
  return std::clamp(x, mu_ - kFar, mu_ + kFar);
}

}  // namespace tarven::model
