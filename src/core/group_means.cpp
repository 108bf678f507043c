#include "core/group_means.h"

#include "core/evaluation.h"
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

  check.closed_form = closed_form_means(p);
  return check;
}

}  // namespace tarven::core
