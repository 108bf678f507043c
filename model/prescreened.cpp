#include "model/prescreened.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "io/format.h"
#include "io/formats.h"
#include "model/normal.h"
#include "numlib/quadpack.h"

namespace tarven::model {
namespace {

constexpr double kDistEpsAbs = 1e-14;
constexpr double kDistEpsRel = 1e-12;

bool constants_current(const ModelState& s) {
  const PrescreenConstants& k = s.prescreen;
  return k.valid && std::bit_cast<std::uint64_t>(s.rho) == k.rho_bits &&
         std::bit_cast<std::uint64_t>(s.es) == k.es_bits &&
         std::bit_cast<std::uint64_t>(s.zcut) == k.zcut_bits;
}

// Same operations, in the same order, as phide_unhoisted performs on every call.
[[gnu::noinline, gnu::cold]] void refresh_constants(ModelState& s) {
  PrescreenConstants& k = s.prescreen;
  k.rho_bits = std::bit_cast<std::uint64_t>(s.rho);
  k.es_bits = std::bit_cast<std::uint64_t>(s.es);
  k.zcut_bits = std::bit_cast<std::uint64_t>(s.zcut);
  k.root = std::sqrt(1.0 - s.rho * s.rho);
  k.cut[0] = s.zcut - 0.0;
  k.cut[1] = s.zcut - s.rho * s.es;
  k.tail[0] = 1.0 - phid(k.cut[0]);
  k.tail[1] = 1.0 - phid(k.cut[1]);
  k.valid = true;
}

}  // namespace

double phide(double x, ModelState& s) {
  if (!constants_current(s)) [[unlikely]]
    refresh_constants(s);
  const PrescreenConstants& k = s.prescreen;
  const int g = s.imaj != 0 ? 1 : 0;
  const double mu = g != 0 ? s.es : 0.0;
  const double d = x - mu;
  const double u = (k.cut[g] - d * s.rho) / k.root;
  const double f = phib(d, 0.0, 1.0, s);
  double value = ((1.0 - phid(u)) * f) / k.tail[g];
  if (s.imom == 1) value = value * x;
  return value;
}

double phide_callback(double x, void* params) {
  return phide(x, *static_cast<ModelState*>(params));
}

double phide_unhoisted(double x, const ModelState& s) {
  double mu = 0.0;
  double shift = 0.0;
  if (s.imaj != 0) {
    mu = s.es;
    shift = s.rho * s.es;
  }
  const double d = x - mu;
  const double c = s.zcut - shift;
  const double u = (c - d * s.rho) / std::sqrt(1.0 - s.rho * s.rho);
  const double f = phib(d, 0.0, 1.0, s);
  double value = ((1.0 - phid(u)) * f) / (1.0 - phid(c));
  if (s.imom == 1) value = value * x;
  return value;
}

namespace {
double phide_unhoisted_callback(double x, void* params) {
  return phide_unhoisted(x, *static_cast<const ModelState*>(params));
}
}  // namespace

DistOutcome integrate_dist(double x, ModelState& s) {
  const gsl_function f{s.keep_constants ? &phide_callback : &phide_unhoisted_callback, &s};
  const numlib::QuadResult r = numlib::DQAGIE(f, x, -1, kDistEpsAbs, kDistEpsRel, s.dist_work);
  return DistOutcome{r.result, r.ier, r.abserr};
}

void report_dist(double x, const DistOutcome& outcome, Diagnostics& diagnostics) {
  // DQAGI prints its own message inside the call, so it comes before our line.
  diagnostics.abnormal_return("DQAGI", outcome.ier);
  diagnostics.console_line(io::render(io::kFormat200Dist, {x, outcome.ier, outcome.abserr}));
}

double dist(double x, ModelState& s) {
  const DistOutcome outcome = integrate_dist(x, s);
  if (outcome.ier != 0) [[unlikely]]
    report_dist(x, outcome, *s.diagnostics);
  return outcome.value;
}

}  // namespace tarven::model
