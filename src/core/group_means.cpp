#include "core/group_means.h"

#include "model/normal.h"
#include "model/prescreened.h"

namespace tarven::core {
namespace {

// The integrals stop here rather than at infinity; the mass above it is left out of the means.
constexpr double kMeanBound = 7.0;

}  // namespace

GroupMeanCheck check_group_means(const model::Population& p, numlib::QuadWorkspace& work,
                                 model::DiagnosticSink& sink) {
  using model::Group;
  using model::Moment;
  GroupMeanCheck check;
  check.integrated.minority =
      model::dist(kMeanBound, Group::kMinority, Moment::kFirst, p, work, sink);
  check.integrated.majority =
      model::dist(kMeanBound, Group::kMajority, Moment::kFirst, p, work, sink);

  check.closed_form.minority =
      p.rho * model::phib(p.zcut, 0.0, 1.0, p.rsq2pi) / (1.0 - model::phid(p.zcut));
  const double c = p.zcut - p.rho * p.es;
  check.closed_form.majority =
      p.rho * model::phib(c, 0.0, 1.0, p.rsq2pi) / (1.0 - model::phid(c)) + p.es;
  return check;
}

}  // namespace tarven::core
