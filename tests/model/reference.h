#pragma once

// Straightforward formulas in 50-digit arithmetic, the references of the engine's tests. Owen's
// closed form of the bivariate normal cancels badly in the tails, but at this precision it still
// leaves twenty digits for anything above 1e-30, where every reference value of the tests lies.

#include <boost/math/constants/constants.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/owens_t.hpp>
#include <boost/multiprecision/cpp_bin_float.hpp>

namespace tarven::model::reference {

using Real = boost::multiprecision::cpp_bin_float_50;

inline Real normal_cdf(const Real& x) {
  return boost::math::erfc(-x / sqrt(Real(2))) / 2;
}

// Owen's T(h, num / den), with T(0, a) = atan(a) / (2 pi) also for an infinite a.
inline Real owens_t(const Real& h, const Real& num, const Real& den) {
  if (h == 0) return atan2(num, den) / (2 * boost::math::constants::pi<Real>());
  return boost::math::owens_t(h, num / den);
}

// P(X <= h, Y <= k) for correlation r, |r| < 1 (Owen 1956).
inline Real bivariate_normal_cdf(const Real& h, const Real& k, const Real& r) {
  const Real s = sqrt((1 - r) * (1 + r));
  const bool same_side = h * k > 0 || (h * k == 0 && h + k >= 0);
  return (normal_cdf(h) + normal_cdf(k)) / 2 - owens_t(h, k - r * h, h * s) -
         owens_t(k, h - r * k, k * s) - (same_side ? Real(0) : Real(0.5));
}

// A pre-screened group: X = mu + U, kept when rho U + sqrt(1 - rho^2) V > zcut - rho mu.
struct Group {
  Real mu, rho, c, q;
  Group(double mu_, double rho_, double zcut)
      : mu(mu_), rho(rho_), c(Real(zcut) - Real(rho_) * Real(mu_)), q(1 - normal_cdf(c)) {}
  // Clamped: far out the formula's cancellation leaves values a few units of 1e-50 outside.
  Real cdf(const Real& x) const {
    const Real t = x - mu;
    const Real f = (normal_cdf(t) - bivariate_normal_cdf(t, c, rho)) / q;
    return f < 0 ? Real(0) : f > 1 ? Real(1) : f;
  }
  Real pdf(const Real& x) const {
    const Real t = x - mu;
    const Real s = sqrt((1 - rho) * (1 + rho));
    const Real density = exp(-t * t / 2) / sqrt(2 * boost::math::constants::pi<Real>());
    return density * (1 - normal_cdf((c - rho * t) / s)) / q;
  }
};

}  // namespace tarven::model::reference
