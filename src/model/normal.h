#pragma once

// The normal distribution functions every other model function is built from. phid and phib are
// on the innermost integrand's path, so they are defined here for inlining: a fixed sequence of
// operations, one exponential each, nothing allocated.

#include <cmath>

namespace tarven::model {

// Standard normal distribution function: a rational approximation on |x| below 10/sqrt(2) and a
// continued fraction above, giving the tail Q(|x|); exactly 0 or 1 beyond |x| > 37.
inline double phid(double x) {
  constexpr double p0 = 220.2068679123761;
  constexpr double p1 = 221.2135961699311;
  constexpr double p2 = 112.0792914978709;
  constexpr double p3 = 33.912866078383;
  constexpr double p4 = 6.37396220353165;
  constexpr double p5 = 0.7003830644436881;
  constexpr double p6 = 0.03526249659989109;
  constexpr double r0 = 440.4137358247522;
  constexpr double r1 = 793.8265125199484;
  constexpr double r2 = 637.3336333788311;
  constexpr double r3 = 296.5642487796737;
  constexpr double r4 = 86.78073220294608;
  constexpr double r5 = 16.06417757920695;
  constexpr double r6 = 1.755667163182642;
  constexpr double r7 = 0.08838834764831845;
  // 10/sqrt(2) in double: where the continued fraction becomes the more accurate form.
  constexpr double kSplit = 7.071067811865475;
  // Deliberately two units in the last place above sqrt(2*pi); the tail values depend on it.
  constexpr double kRoot2Pi = 2.506628274631001;

  const double a = std::fabs(x);
  double q = 0.0;
  if (!(a > 37.0)) {
    const double e = std::exp(-(a * a / 2.0));
    if (a < kSplit) {
      const double p = ((((((p6 * a + p5) * a + p4) * a + p3) * a + p2) * a + p1) * a + p0);
      const double r =
          (((((((r7 * a + r6) * a + r5) * a + r4) * a + r3) * a + r2) * a + r1) * a + r0);
      q = (p * e) / r;
    } else {
      double t = a + 0.65;
      t = a + 4.0 / t;
      t = a + 3.0 / t;
      t = a + 2.0 / t;
      t = a + 1.0 / t;
      q = (e / t) / kRoot2Pi;
    }
  }
  return x > 0.0 ? 1.0 - q : q;
}

// Standard normal quantile (AS 241, PPND16): the z with phid(z) = p, about 16 significant digits.
// p <= 0 or p >= 1 sets ifault to 1 and returns 0; otherwise ifault is 0.
double ppnd(double p, int& ifault);

// Normal density of the given mean and variance (var > 0, unchecked); rsq2pi is 1/sqrt(2*pi) as
// the problem formed it (model::start_up_rsq2pi).
inline double phib(double x, double mean, double var, double rsq2pi) {
  const double root = std::sqrt(var);
  const double z = (x - mean) / root;
  return (std::exp((z * z) * (-0.5)) * rsq2pi) / root;
}

}  // namespace tarven::model
