#pragma once

// Globally adaptive Gauss-Kronrod integration over a finite interval, with the panels kept in a
// fixed-size array on the caller's stack: nothing is allocated, so it can run inside integrands.
// The node tables are Boost's; the error estimate of a panel is |Kronrod - Gauss|, which for
// smooth integrands overstates the error of the Kronrod sum by orders of magnitude.

#include <array>
#include <boost/math/quadrature/gauss.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <cmath>

namespace tarven::model {

struct Quadrature {
  double value = 0.0;
  double abserr = 0.0;
  bool converged = false;
};

// Integrates f from breaks[0] to breaks[nbreaks - 1], starting from the panels between consecutive
// breaks and bisecting the panel with the largest error estimate until the summed estimate is at
// most max(abs_tol, rel_tol * |value|) or MaxPanels panels are in use. N is the Kronrod order (15,
// 21, 31, 41, 51 or 61); nbreaks - 1 must not exceed MaxPanels.
template <unsigned N, int MaxPanels, class F>
Quadrature integrate_gauss_kronrod(const F& f, const double* breaks, int nbreaks, double abs_tol,
                                   double rel_tol) {
  using Kronrod = boost::math::quadrature::gauss_kronrod<double, N>;
  using Gauss = boost::math::quadrature::gauss<double, (N - 1) / 2>;
  static_assert(((N - 1) / 2) % 2 == 0, "the Gauss nodes are taken at the odd Kronrod indices");
  const auto& x = Kronrod::abscissa();
  const auto& wk = Kronrod::weights();
  const auto& wg = Gauss::weights();

  struct Panel {
    double a, b, value, error;
  };
  const auto rule = [&](double lo, double hi) {
    const double centre = 0.5 * (lo + hi);
    const double half = 0.5 * (hi - lo);
    double kronrod = wk[0] * f(centre);
    double gauss = 0.0;
    for (std::size_t n = 1; n < x.size(); ++n) {
      const double pair = f(centre - half * x[n]) + f(centre + half * x[n]);
      kronrod += wk[n] * pair;
      if (n % 2 == 1) gauss += wg[n / 2] * pair;
    }
    return Panel{lo, hi, kronrod * half, std::fabs(kronrod - gauss) * half};
  };

  std::array<Panel, MaxPanels> panels;
  int count = 0;
  for (int p = 0; p + 1 < nbreaks && count < MaxPanels; ++p) {
    if (breaks[p + 1] > breaks[p]) panels[count++] = rule(breaks[p], breaks[p + 1]);
  }
  if (count == 0) return Quadrature{0.0, 0.0, true};
  Quadrature result;
  for (;;) {
    double value = 0.0, error = 0.0;
    int worst = 0;
    for (int p = 0; p < count; ++p) {
      value += panels[p].value;
      error += panels[p].error;
      if (panels[p].error > panels[worst].error) worst = p;
    }
    result.value = value;
    result.abserr = error;
    result.converged = error <= abs_tol || error <= rel_tol * std::fabs(value);
    if (result.converged || count == MaxPanels) return result;
    const Panel split = panels[worst];
    const double mid = 0.5 * (split.a + split.b);
    if (!(mid > split.a && mid < split.b)) return result;  // no room left to bisect
    panels[worst] = rule(split.a, mid);
    panels[count++] = rule(mid, split.b);
  }
}

// The same over [a, b] cut into `initial` equal panels (at most MaxPanels).
template <unsigned N, int MaxPanels, class F>
Quadrature integrate_gauss_kronrod(const F& f, double a, double b, int initial, double abs_tol,
                                   double rel_tol) {
  std::array<double, MaxPanels + 1> breaks;
  if (initial < 1) initial = 1;
  if (initial > MaxPanels) initial = MaxPanels;
  for (int p = 0; p <= initial; ++p) breaks[p] = p == initial ? b : a + (b - a) * p / initial;
  return integrate_gauss_kronrod<N, MaxPanels>(f, breaks.data(), initial + 1, abs_tol, rel_tol);
}

}  // namespace tarven::model
