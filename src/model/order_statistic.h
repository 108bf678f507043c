#pragma once

// The k-th lowest of n independent draws from one continuous distribution, seen through that
// distribution's probability u = F(x), which is Beta(k, n - k + 1) distributed whatever F is.

#include "model/prescreened_group.h"

namespace tarven::model {

class OrderStatistic {
 public:
  // 1 <= k <= n.
  OrderStatistic(int k, int n);

  // The Beta(k, n - k + 1) density at u, given u and 1 - u as Tails (both accurate).
  double density(const Tails& u) const;
  // P(X_(k) <= x) and P(X_(k) > x) when F(x) = u.cdf, 1 - F(x) = u.sf.
  double below(const Tails& u) const;
  double above(const Tails& u) const;

  // The u (with 1 - u) below which X_(k) lies with probability p, and the one above which it lies
  // with probability p: ends of a window that leaves out p on each side. p is small.
  Tails lower_end(double p) const;
  Tails upper_end(double p) const;

 private:
  double a_;  // k
  double b_;  // n - k + 1
  // A point near the mode that is a multiple of 2^-53, so that both it and 1 - it are exact, and
  // the logarithm of the density there: the density elsewhere is formed relative to it.
  double centre_;
  double centre_complement_;
  double log_density_at_centre_;
};

// The x at which the group's distribution reaches u, from the smaller side of u.
double quantile_at(const PrescreenedGroup& group, const Tails& u);

}  // namespace tarven::model
