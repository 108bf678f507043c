#include "core/group_means.h"

#include <gtest/gtest.h>

#include "model/prescreened.h"
#include "tests/model/model_test_support.h"

namespace tarven::core {
namespace {

using model::testing::RecordingSink;

GroupMeanCheck check(double es, double rho, double zcut) {
  const model::Population p = model::make_population(es, rho, zcut, 1, 1, 1);
  numlib::QuadWorkspace work(model::kDistLimit);
  RecordingSink sink;
  const GroupMeanCheck c = check_group_means(p, work, sink);
  EXPECT_TRUE(sink.events.empty());
  return c;
}

TEST(GroupMeans, IntegratedAndClosedFormAgree) {
  // es 1, rho 0.5, retention 0.5 (zcut 0).
  const GroupMeanCheck c = check(1.0, 0.5, 0.0);
  EXPECT_NEAR(c.closed_form.minority, 0.398942, 5e-7);
  EXPECT_NEAR(c.closed_form.majority, 1.254580, 5e-7);
  // The integrals stop at 7.0; the mass above it is far below the printed digits here.
  EXPECT_NEAR(c.integrated.minority, c.closed_form.minority, 2e-6);
  EXPECT_NEAR(c.integrated.majority, c.closed_form.majority, 2e-6);
}

TEST(GroupMeans, WithoutCorrelationTheMeansAreZeroAndTheEffectSize) {
  const GroupMeanCheck c = check(0.75, 0.0, 1.0);
  EXPECT_EQ(c.closed_form.minority, 0.0);
  EXPECT_EQ(c.closed_form.majority, 0.75);
  EXPECT_NEAR(c.integrated.minority, 0.0, 1e-6);
  EXPECT_NEAR(c.integrated.majority, 0.75, 1e-6);
}

}  // namespace
}  // namespace tarven::core
