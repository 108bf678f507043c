#include "model/order_statistic.h"

#include <boost/math/special_functions/beta.hpp>
#include <cmath>

#include "model/math_policy.h"

namespace tarven::model {

OrderStatistic::OrderStatistic(int k, int n)
    : a_(static_cast<double>(k)), b_(static_cast<double>(n - k + 1)) {
  if (a_ == 1.0 && b_ == 1.0) {
    centre_ = 0.5;
    centre_complement_ = 0.5;
    log_density_at_centre_ = 0.0;
    return;
  }
  constexpr double kUnit = 9007199254740992.0;  // 2^53
  centre_ = std::nearbyint((a_ - 1.0) / (a_ + b_ - 2.0) * kUnit) / kUnit;
  centre_complement_ = 1.0 - centre_;
  if (a_ == 1.0) {
    log_density_at_centre_ = std::log(b_);
  } else if (b_ == 1.0) {
    log_density_at_centre_ = std::log(a_);
  } else {
    log_density_at_centre_ = std::log(boost::math::ibeta_derivative(a_, b_, centre_, Accurate()));
  }
}

// Relative to the centre the two powers become (a-1) log(u/m) and (b-1) log((1-u)/(1-m)). Near
// the mode both are taken as log1p of +-d, d = u - m from whichever of u and 1 - u is the smaller,
// so that the rounding of d, which the two terms share, cancels as it does in the density itself;
// far below the mode log1p would lose its argument's digits near -1, and the ratio u/m, or
// (1-u)/(1-m) above it, is taken directly from the small side instead.
double OrderStatistic::density(const Tails& u) const {
  const double d = u.cdf <= u.sf ? u.cdf - centre_ : centre_complement_ - u.sf;
  double log_density = log_density_at_centre_;
  if (a_ > 1.0) {
    const double x = d / centre_;
    log_density += (a_ - 1.0) * (x < -0.5 ? std::log(u.cdf / centre_) : std::log1p(x));
  }
  if (b_ > 1.0) {
    const double y = -d / centre_complement_;
    log_density += (b_ - 1.0) * (y < -0.5 ? std::log(u.sf / centre_complement_) : std::log1p(y));
  }
  return std::exp(log_density);
}

double OrderStatistic::below(const Tails& u) const {
  return u.cdf <= u.sf ? boost::math::ibeta(a_, b_, u.cdf, Accurate())
                       : boost::math::ibetac(b_, a_, u.sf, Accurate());
}

double OrderStatistic::above(const Tails& u) const {
  return u.cdf <= u.sf ? boost::math::ibetac(a_, b_, u.cdf, Accurate())
                       : boost::math::ibeta(b_, a_, u.sf, Accurate());
}

// The windows need not be exact (what they leave out is measured afterwards), so the inverses are
// evaluated in double; each is solved for u, and again for 1 - u when u turns out above one half.
Tails OrderStatistic::lower_end(double p) const {
  const double u = boost::math::ibeta_inv(a_, b_, p, Fast());
  if (u <= 0.5) return Tails{u, 1.0 - u};
  const double s = boost::math::ibetac_inv(b_, a_, p, Fast());
  return Tails{1.0 - s, s};
}

Tails OrderStatistic::upper_end(double p) const {
  const double s = boost::math::ibeta_inv(b_, a_, p, Fast());
  if (s <= 0.5) return Tails{1.0 - s, s};
  const double u = boost::math::ibetac_inv(a_, b_, p, Fast());
  return Tails{u, 1.0 - u};
}

double quantile_at(const PrescreenedGroup& group, const Tails& u) {
  return u.cdf <= u.sf ? group.quantile(u.cdf) : group.upper_quantile(u.sf);
}

}  // namespace tarven::model
