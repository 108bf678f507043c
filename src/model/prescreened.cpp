#include "model/prescreened.h"

#include <cmath>

#include "model/normal.h"

namespace tarven::model {
namespace {

constexpr double kDistEpsAbs = 1e-14;
constexpr double kDistEpsRel = 1e-12;

// What the integrator hands back to the density with each abscissa.
struct DensityArgs {
  const Population* population;
  Group group;
  Moment moment;
};

double phide_callback(double x, void* params) {
  const auto& a = *static_cast<const DensityArgs*>(params);
  return phide(x, a.group, a.moment, *a.population);
}

double phide_unhoisted_callback(double x, void* params) {
  const auto& a = *static_cast<const DensityArgs*>(params);
  return phide_unhoisted(x, a.group, a.moment, *a.population);
}

}  // namespace

double phide(double x, Group g, Moment m, const Population& p) {
  const int k = index_of(g);
  const double mu = k != 0 ? p.es : 0.0;
  const double d = x - mu;
  const double u = (p.cut[k] - d * p.rho) / p.root;
  const double f = phib(d, 0.0, 1.0, p.rsq2pi);
  double value = ((1.0 - phid(u)) * f) / p.tail[k];
  if (m == Moment::kFirst) value = value * x;
  return value;
}

double phide_unhoisted(double x, Group g, Moment m, const Population& p) {
  double mu = 0.0;
  double shift = 0.0;
  if (g == Group::kMajority) {
    mu = p.es;
    shift = p.rho * p.es;
  }
  const double d = x - mu;
  const double c = p.zcut - shift;
  const double u = (c - d * p.rho) / std::sqrt(1.0 - p.rho * p.rho);
  const double f = phib(d, 0.0, 1.0, p.rsq2pi);
  double value = ((1.0 - phid(u)) * f) / (1.0 - phid(c));
  if (m == Moment::kFirst) value = value * x;
  return value;
}

DistOutcome integrate_dist(double x, Group g, Moment m, const Population& p,
                           numlib::QuadWorkspace& work) {
  DensityArgs args{&p, g, m};
  const gsl_function f{p.keep_constants ? &phide_callback : &phide_unhoisted_callback, &args};
  const numlib::QuadResult r = numlib::DQAGIE(f, x, -1, kDistEpsAbs, kDistEpsRel, work);
  return DistOutcome{r.result, r.ier, r.abserr, r.last};
}

void report_dist(double x, const DistOutcome& outcome, DiagnosticSink& sink) {
  sink.report(
      Diagnostic{DiagnosticSource::kDist, outcome.ier, x, outcome.abserr, outcome.subintervals});
}

double dist(double x, Group g, Moment m, const Population& p, numlib::QuadWorkspace& work,
            DiagnosticSink& sink) {
  const DistOutcome outcome = integrate_dist(x, g, m, p, work);
  if (outcome.ier != 0) [[unlikely]]
    report_dist(x, outcome, sink);
  return outcome.value;
}

}  // namespace tarven::model
