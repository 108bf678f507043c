#pragma once

// One applicant group after pre-screening: predictor X ~ N(mu, 1) and a screening variable
// Z ~ N(rho * mu, 1) with corr(X, Z) = rho; applicants were retained when Z > zcut. Its
// distribution function and survival function are both accurate relative to their own size, so
// that either tail can be raised to the powers an order statistic of a large sample needs.

#include <cmath>

namespace tarven::model {

struct GroupParameters {
  double mu = 0.0;
  double rho = 0.0;   // |rho| <= 0.999 in the engine's range; up to 1 in magnitude here
  double zcut = 0.0;  // the standard-normal cut on Z; retention = P(Z > zcut) for mu = 0
};

// F(x) and 1 - F(x), each computed directly where it is the smaller.
struct Tails {
  double cdf = 0.0;
  double sf = 0.0;
};

class PrescreenedGroup {
 public:
  explicit PrescreenedGroup(const GroupParameters& group);

  Tails tails(double x) const;
  double cdf(double x) const { return tails(x).cdf; }
  double sf(double x) const { return tails(x).sf; }
  double pdf(double x) const;

  // The x with cdf(x) = p, and the x with sf(x) = s, for p, s in (0, 1); the smaller of p and 1 - p
  // should be given on its own side. Accurate to about 1e-10 relative in the probability: enough to
  // place search windows, whose effect is measured afterwards. Always finite: within a hundred of
  // mu, beyond which the tails are exactly 0 and 1.
  double quantile(double p) const;
  double upper_quantile(double s) const;

  // P(Z > zcut) for this group: the share of it that was retained.
  double retained() const { return retained_; }

  // Where the screening cuts into the density, which passes between near nothing and the plain
  // normal over about edge_width() around edge(): sharp when |rho| is near 1. edge() is infinite
  // for rho = 0.
  double edge() const;
  double edge_width() const { return rho_ == 0.0 ? 0.0 : sigma_ / std::fabs(rho_); }

 private:
  double solve(double target, bool upper) const;
  // For t = x - mu, the cross terms c - rho t = zcut - rho x and t - rho c of the orthants, formed
  // from x without the roundings of t and c: they are divided by sigma, which is small when |rho|
  // is near one.
  double cut_less_rho_t(double x) const;
  double t_less_rho_cut(double x) const;

  double mu_;
  double rho_;
  double zcut_;
  double c_;      // zcut - rho * mu: the cut on the standardised screening variable
  double sigma_;  // sqrt(1 - rho^2)
  double retained_;
  double centre_;  // mean of X - mu after screening, near where the two tails are equal
  double spread_;  // standard deviation of X after screening
};

}  // namespace tarven::model
