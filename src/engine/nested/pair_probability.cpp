#include "engine/nested/pair_probability.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "model/integrands.h"
#include "model/order_statistic.h"
#include "model/prescreened_group.h"
#include "numlib/lbeta.h"

namespace tarven::engine::nested {
namespace {

constexpr double kOuterEpsAbs = 1e-8;
constexpr double kOuterEpsRel = 1e-5;

// The mass of the majority order statistic's density left outside its core on each side (about
// 4.75 standard deviations), and outside the piece integrated on its own (about 7).
constexpr double kCoreTail = 1e-6;
constexpr double kPieceTail = 1e-12;
// A core narrower than this share of the gap around it may be seen by no node of the halves of
// the first bisection, whose gaps are half as wide: the three standard deviations around the
// peak, where a node would see enough of it to ask for more, span about 0.63 of the core.
constexpr double kNarrowCore = 0.8;
// The grid the ends of that piece are moved out to: a power of two, so the ends are exact.
constexpr double kBreakGrid = 1.0 / 32.0;

}  // namespace

std::optional<model::Window> narrow_peak(const model::Population& p, int iorder, double a,
                                         double b) {
  const model::PrescreenedGroup majority(model::GroupParameters{p.es, p.rho, p.zcut});
  const model::OrderStatistic statistic(iorder, p.nmaj);
  const double core_low = model::quantile_at(majority, statistic.lower_end(kCoreTail));
  const double core_high = model::quantile_at(majority, statistic.upper_end(kCoreTail));
  const double mode = 0.5 * (core_low + core_high);
  if (!(mode > a && mode < b)) return std::nullopt;
  // The two first-level nodes around the mode.
  std::vector<double> nodes = numlib::gauss_kronrod61_nodes(a, b);
  std::sort(nodes.begin(), nodes.end());
  const auto right = std::upper_bound(nodes.begin(), nodes.end(), mode);
  const double left_node = right == nodes.begin() ? a : *(right - 1);
  const double right_node = right == nodes.end() ? b : *right;
  if (!(core_high - core_low < kNarrowCore * (right_node - left_node))) return std::nullopt;
  // The piece's ends are moved out to a grid, so that neighbouring pairs, whose peaks lie close
  // together, integrate over the same pieces and find their distribution values in the memo.
  const double low =
      std::floor(model::quantile_at(majority, statistic.lower_end(kPieceTail)) / kBreakGrid) *
      kBreakGrid;
  const double high =
      std::ceil(model::quantile_at(majority, statistic.upper_end(kPieceTail)) / kBreakGrid) *
      kBreakGrid;
  return model::Window{std::max(low, a), std::min(high, b)};
}

PairAttempt attempt_pair(model::PairState& s, numlib::QuadWorkspace& outer_work, double a,
                         double b) {
  const int nmaj = s.population->nmaj;
  const numlib::LbetaResult lb =
      numlib::DLBETA(static_cast<double>(nmaj - s.iorder + 1), static_cast<double>(s.iorder));
  if (lb.error != 0) [[unlikely]] {
    s.diagnostics->report(
        model::Diagnostic{model::DiagnosticSource::kFatal, lb.error, 0.0, 0.0, 0});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return PairAttempt{nan, nan, 0.0};
  }
  s.lbeta1 = lb.value;
  // DQAG is DQAGE followed by the library's message on an abnormal return; the message goes
  // through the state's diagnostics so that a caller can collect it in order.
  const gsl_function f{&model::fun_callback, &s};
  auto integrate = [&](double low, double high) {
    const numlib::QuadResult r = numlib::DQAGE(f, low, high, kOuterEpsAbs, kOuterEpsRel,
                                               numlib::kGaussKronrod61, outer_work);
    if (r.ier != 0) [[unlikely]]
      s.diagnostics->report(
          model::Diagnostic{model::DiagnosticSource::kOuter, r.ier, 0.0, r.abserr, r.last});
    return r;
  };
  const std::optional<model::Window> peak = narrow_peak(*s.population, s.iorder, a, b);
  if (!peak) {
    const numlib::QuadResult r = integrate(a, b);
    return PairAttempt{s.lbeta1, r.result, r.abserr};
  }
  // Break points around the peak: the piece that holds it is integrated on its own, where the rule
  // sees it. Beside it the majority order statistic has at most 1e-12 of its mass on each side,
  // and fun, its density times a probability, at most that much: those sides are left out, and
  // their bound is added to the error estimate.
  const numlib::QuadResult r = integrate(peak->low, peak->high);
  return PairAttempt{s.lbeta1, r.result, r.abserr + 2.0 * kPieceTail};
}

std::vector<double> outer_nodes_backwards(double a, double b) {
  const double m = 0.5 * (a + b);
  const double q1 = 0.5 * (a + m);
  const double q3 = 0.5 * (m + b);
  const std::vector<std::vector<std::pair<double, double>>> levels = {
      {{a, b}}, {{a, m}, {m, b}}, {{a, q1}, {q1, m}, {m, q3}, {q3, b}}};
  std::vector<double> nodes;
  for (const auto& level : levels) {
    const std::size_t level_start = nodes.size();
    for (const auto& [low, high] : level) {
      const std::vector<double> rule = numlib::gauss_kronrod61_nodes(low, high);
      nodes.insert(nodes.end(), rule.begin(), rule.end());
    }
    std::reverse(nodes.begin() + static_cast<std::ptrdiff_t>(level_start), nodes.end());
  }
  return nodes;
}

}  // namespace tarven::engine::nested
