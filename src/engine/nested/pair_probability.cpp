#include "engine/nested/pair_probability.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "model/integrands.h"
#include "numlib/lbeta.h"

namespace tarven::engine::nested {
namespace {

constexpr double kOuterEpsAbs = 1e-8;
constexpr double kOuterEpsRel = 1e-5;

}  // namespace

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
  const numlib::QuadResult r =
      numlib::DQAGE(f, a, b, kOuterEpsAbs, kOuterEpsRel, numlib::kGaussKronrod61, outer_work);
  if (r.ier != 0) [[unlikely]]
    s.diagnostics->report(
        model::Diagnostic{model::DiagnosticSource::kOuter, r.ier, 0.0, r.abserr, r.last});
  return PairAttempt{s.lbeta1, r.result, r.abserr};
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
