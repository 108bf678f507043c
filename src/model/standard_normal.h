#pragma once

// Standard normal functions accurate relative to their value far into the tails. The density is
// formed from exactly split squares, so that exp(-x*x/2) does not inherit the rounding of x*x, an
// error that grows with x*x and would reach a hundred units in the last place at x = 14.

#include <cmath>

namespace tarven::model {

inline constexpr double kInvSqrt2 = 0.70710678118654752440;
inline constexpr double kInvSqrt2Pi = 0.39894228040143267794;
inline constexpr double kInv2Pi = 0.15915494309189533577;

// a * b as hi + lo exactly (Dekker; needs the contraction of multiply-adds switched off).
inline void exact_product(double a, double b, double& hi, double& lo) {
  constexpr double kSplit = 134217729.0;  // 2^27 + 1
  hi = a * b;
  const double ta = kSplit * a;
  const double ah = ta - (ta - a);
  const double al = a - ah;
  const double tb = kSplit * b;
  const double bh = tb - (tb - b);
  const double bl = b - bh;
  lo = ((ah * bh - hi) + ah * bl + al * bh) + al * bl;
}
inline void exact_square(double x, double& hi, double& lo) {
  exact_product(x, x, hi, lo);
}

// a - b * x with the product exact: no worse than one rounding of the result even when the two
// terms nearly cancel.
inline double minus_product(double a, double b, double x) {
  double hi, lo;
  exact_product(b, x, hi, lo);
  return (a - hi) - lo;
}

// P(X > x). glibc's erfc is good to about an ulp, but its argument x/sqrt(2) is rounded first, and
// the tail magnifies that rounding x*x/2 times; the residual of the rounding is put back to first
// order through the logarithmic derivative of erfc.
inline double normal_sf(double x) {
  constexpr double kHi = 0.70710678118654757;      // 1/sqrt(2) rounded to double
  constexpr double kLo = -4.8336466567264567e-17;  // 1/sqrt(2) - kHi
  constexpr double kTwoOverSqrtPi = 1.1283791670955126;
  double y, residual;
  exact_product(x, kHi, y, residual);
  residual += x * kLo;
  const double tail = std::erfc(y);
  if (!(tail > 0.0) || y < 1.0) return 0.5 * tail;
  return 0.5 * tail * (1.0 - residual * kTwoOverSqrtPi * std::exp(-y * y) / tail);
}
inline double normal_cdf(double x) {
  return normal_sf(-x);
}

// exp(-(a*a + b*b) / 2) to within about an ulp.
inline double exp_minus_half_squares(double a, double b) {
  double ah, al, bh, bl;
  exact_square(a, ah, al);
  exact_square(b, bh, bl);
  const double s = ah + bh;
  const double big = ah > bh ? ah : bh;
  const double small = ah > bh ? bh : ah;
  const double err = ((big - s) + small) + al + bl;
  return std::exp(-0.5 * s) * (1.0 - 0.5 * err);
}

// The standard normal density.
inline double normal_pdf(double x) {
  return kInvSqrt2Pi * exp_minus_half_squares(x, 0.0);
}

}  // namespace tarven::model
