#include "model/integrands.h"

#include <cmath>
#include <limits>

#include "io/format.h"
#include "io/formats.h"
#include "model/dist_memo.h"
#include "model/prescreened.h"
#include "numlib/lbeta.h"
#include "numlib/quadpack.h"

namespace tarven::model {
namespace {

constexpr double kInnerEpsAbs = 5e-9;
constexpr double kInnerEpsRel = 5e-6;
constexpr int kGaussKronrod61 = 6;

// The logarithmic terms of an order-statistic density f * F^lo * (1 - F)^hi. Where a factor is
// exactly zero in double precision (a zero or unrepresentable density, or F at 0 or 1 under a
// positive power, F a hair outside [0, 1] included) the density itself is 0; a power of zero
// contributes nothing whatever its base, so 0 * ln 0 never turns into NaN. For every other
// abscissa the terms are the plain products, so the sums below keep the bits of the formula.
struct LogTerms {
  double lf = 0.0;   // ln f
  double tlo = 0.0;  // ln(F) * lo
  double thi = 0.0;  // ln(1 - F) * hi
  bool zero = false;
};

// From the logarithms alone: ln f is finite exactly when f is a positive, finite number; ln F is
// above -infinity exactly when F > 0, and ln(1 - F) exactly when F < 1 (a NaN fails both).
LogTerms log_terms(const DistEntry& e, int lo, int hi) {
  constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
  LogTerms t;
  if (!std::isfinite(e.log_density)) t.zero = true;
  t.lf = e.log_density;
  if (hi != 0) {
    if (!(e.log_complement > kMinusInfinity))
      t.zero = true;
    else
      t.thi = e.log_complement * static_cast<double>(hi);
  }
  if (lo != 0) {
    if (!(e.log_dist > kMinusInfinity))
      t.zero = true;
    else
      t.tlo = e.log_dist * static_cast<double>(lo);
  }
  return t;
}

// ln phide(x) and the logarithms of dist(x) for the group of s.imaj, in the order the formula
// takes them; from the memo when it holds them, with the same diagnostics the computation would
// print.
DistEntry density_and_dist(double x, ModelState& s) {
  DistMemo* memo = s.imom != 1 ? s.memo : nullptr;
  const int group = s.imaj != 0 ? 1 : 0;
  DistEntry e;
  if (memo != nullptr && memo->find(group, x, s.memo_cursor, e)) {
    if (e.outcome.ier != 0) [[unlikely]]
      report_dist(x, e.outcome, *s.diagnostics);
    return e;
  }
  e.log_density = std::log(prescreened_density(x, s));
  e.outcome = integrate_dist(x, s);
  e.log_dist = std::log(e.outcome.value);
  e.log_complement = std::log(1.0 - e.outcome.value);
  if (e.outcome.ier != 0) [[unlikely]]
    report_dist(x, e.outcome, *s.diagnostics);
  if (memo != nullptr) memo->insert(group, x, e, s.memo_cursor);
  return e;
}

double minority_normaliser(ModelState& s) {
  MinorityNormaliser& m = s.minority_norm;
  if (m.nmin != s.nmin || m.jorder != s.jorder) [[unlikely]] {
    m.value =
        numlib::DLBETA(static_cast<double>(s.nmin - s.jorder + 1), static_cast<double>(s.jorder));
    m.nmin = s.nmin;
    m.jorder = s.jorder;
  }
  return m.value;
}

}  // namespace

double fun(double x, ModelState& s) {
  if (x <= kWindowLow) return 0.0;
  if (s.cancel != nullptr && s.cancel->load(std::memory_order_relaxed)) [[unlikely]]
    return 0.0;

  // The binding order: imaj is 1 for this call's own density and distribution value, and 0 for
  // everything under the inner integration.
  s.imaj = 1;
  const DistEntry e = density_and_dist(x, s);
  const int hi = s.nmaj - s.iorder;
  const int lo = s.iorder - 1;
  const LogTerms t = log_terms(e, lo, hi);
  s.lbeta2 = s.keep_constants ? minority_normaliser(s)
                              : numlib::DLBETA(static_cast<double>(s.nmin - s.jorder + 1),
                                               static_cast<double>(s.jorder));
  s.imaj = 0;

  // The inner integration runs even when this value is known to be 0, so that the console shows
  // the same diagnostics whatever the abscissa.
  const gsl_function inner_f{&fu1_callback, &s};
  const numlib::QuadResult inner = numlib::DQAGE(inner_f, kWindowLow, x, kInnerEpsAbs, kInnerEpsRel,
                                                 kGaussKronrod61, s.inner_work);
  if (inner.ier != 0) [[unlikely]] {
    // Under "res" stands the error estimate, not the integral.
    s.diagnostics->console_line(
        io::render(io::kFormat100Fun, {inner.ier, x, inner.abserr, inner.last}));
  }

  if (t.zero || !(inner.result > 0.0)) return 0.0;
  double sum = std::log(inner.result) + t.lf;
  sum = sum + t.tlo;
  sum = sum + t.thi;
  sum = sum - s.lbeta1;
  return std::exp(sum);
}

double fu1(double y, ModelState& s) {
  s.imaj = 0;
  const DistEntry e = density_and_dist(y, s);
  const LogTerms t = log_terms(e, s.jorder - 1, s.nmin - s.jorder);
  if (t.zero) return 0.0;
  double sum = t.lf + t.tlo;
  sum = sum + t.thi;
  sum = sum - s.lbeta2;
  return std::exp(sum);
}

double fun_callback(double x, void* params) {
  return fun(x, *static_cast<ModelState*>(params));
}

double fu1_callback(double y, void* params) {
  return fu1(y, *static_cast<ModelState*>(params));
}

}  // namespace tarven::model
