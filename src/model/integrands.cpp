#include "model/integrands.h"

#include <cmath>
#include <limits>

#include "model/dist_memo.h"
#include "model/prescreened.h"
#include "numlib/lbeta.h"
#include "numlib/quadpack.h"

namespace tarven::model {
namespace {

constexpr double kInnerEpsAbs = 5e-9;
constexpr double kInnerEpsRel = 5e-6;

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

// ln phide(x) and the logarithms of dist(x) for group g, in the order the formula takes them; from
// the memo when it holds them, with the same diagnostics the computation would report.
DistEntry density_and_dist(double x, Group g, PairState& s) {
  const Population& p = *s.population;
  DistMemo* memo = s.memo;
  const int group = index_of(g);
  DistEntry e;
  if (memo != nullptr && memo->find(group, x, s.memo_cursor, e)) {
    if (e.outcome.ier != 0) [[unlikely]]
      report_dist(x, e.outcome, *s.diagnostics);
    return e;
  }
  e.log_density = std::log(prescreened_density(x, g, Moment::kDensity, p));
  e.outcome = integrate_dist(x, g, Moment::kDensity, p, s.dist_work);
  e.log_dist = std::log(e.outcome.value);
  e.log_complement = std::log(1.0 - e.outcome.value);
  if (e.outcome.ier != 0) [[unlikely]]
    report_dist(x, e.outcome, *s.diagnostics);
  if (memo != nullptr) memo->insert(group, x, e, s.memo_cursor);
  return e;
}

// ln B(nmin - jorder + 1, jorder), formed afresh or kept per pair. A DLBETA error cannot arise from
// a pair of a valid problem; should it, it is reported as the library's fatal error and the
// value is NaN, which makes fun return 0.
double minority_normaliser(PairState& s) {
  const Population& p = *s.population;
  MinorityNormaliser& m = s.minority_norm;
  if (p.keep_constants && m.jorder == s.jorder) [[likely]]
    return m.value;
  const numlib::LbetaResult r =
      numlib::DLBETA(static_cast<double>(p.nmin - s.jorder + 1), static_cast<double>(s.jorder));
  if (r.error != 0) [[unlikely]] {
    s.diagnostics->report(Diagnostic{DiagnosticSource::kFatal, r.error, 0.0, 0.0, 0});
    return std::numeric_limits<double>::quiet_NaN();
  }
  m.value = r.value;
  m.jorder = s.jorder;
  return m.value;
}

}  // namespace

double fun(double x, PairState& s) {
  const Population& p = *s.population;
  if (x <= p.window.low) return 0.0;
  if (s.heartbeat != nullptr) s.heartbeat->beat();
  if (s.cancel != nullptr && s.cancel->load(std::memory_order_relaxed)) [[unlikely]]
    return 0.0;

  const DistEntry e = density_and_dist(x, Group::kMajority, s);
  const int hi = p.nmaj - s.iorder;
  const int lo = s.iorder - 1;
  const LogTerms t = log_terms(e, lo, hi);
  s.lbeta2 = minority_normaliser(s);
  if (std::isnan(s.lbeta2)) [[unlikely]]
    return 0.0;

  // The inner integration runs even when this value is known to be 0, so that the same
  // diagnostics are reported whatever the abscissa.
  const gsl_function inner_f{&fu1_callback, &s};
  const numlib::QuadResult inner = numlib::DQAGE(
      inner_f, p.window.low, x, kInnerEpsAbs, kInnerEpsRel, numlib::kGaussKronrod61, s.inner_work);
  if (inner.ier != 0) [[unlikely]]
    s.diagnostics->report(
        Diagnostic{DiagnosticSource::kInner, inner.ier, x, inner.abserr, inner.last});

  if (t.zero || !(inner.result > 0.0)) return 0.0;
  double sum = std::log(inner.result) + t.lf;
  sum = sum + t.tlo;
  sum = sum + t.thi;
  sum = sum - s.lbeta1;
  return std::exp(sum);
}

double fu1(double y, PairState& s) {
  const DistEntry e = density_and_dist(y, Group::kMinority, s);
  const LogTerms t = log_terms(e, s.jorder - 1, s.population->nmin - s.jorder);
  if (t.zero) return 0.0;
  double sum = t.lf + t.tlo;
  sum = sum + t.thi;
  sum = sum - s.lbeta2;
  return std::exp(sum);
}

double fun_callback(double x, void* params) {
  return fun(x, *static_cast<PairState*>(params));
}

double fu1_callback(double y, void* params) {
  return fu1(y, *static_cast<PairState*>(params));
}

}  // namespace tarven::model
