#pragma once

// The standard bivariate normal distribution, accurate relative to the probability itself however
// small it is: the tails of the pre-screened groups are built from it, and an order statistic of a
// large sample raises them to high powers.

namespace tarven::model {

// P(X <= h, Y <= k) for standard normal X, Y with correlation rho in [-1, 1].
double bivariate_normal_cdf(double h, double k, double rho);

// P(X > h, Y > k), the upper orthant.
double bivariate_normal_upper(double h, double k, double rho);

// The same with kh = k - rho h and hk = h - rho k supplied by a caller that can form them more
// accurately than floating point does from h, k and rho: for rho near +-1 they are differences of
// nearly equal terms, and they enter divided by sqrt(1 - rho^2).
double bivariate_normal_upper(double h, double k, double rho, double kh, double hk);

// Probability that a standard normal point of the plane lies behind a ray as seen from the origin:
// the ray runs along a line at distance h >= 0 from the origin and starts at signed distance d
// from the foot of the perpendicular, pointing away from it when d > 0. It is
// h exp(-h^2/2) / (2 pi) * integral from d to infinity of exp(-w^2/2) / (w^2 + h^2) dw,
// one half of the normal tail beyond h minus Owen's T(h, d/h).
double ray_shadow(double h, double d);

}  // namespace tarven::model
