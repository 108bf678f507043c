#include "core/distribution.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace tarven::core {
namespace {

std::vector<DistributionRow> rows_of(int nmaj, int nmin, int nsel, std::vector<double> cumulative) {
  const model::PairPlan plan = model::make_pair_plan(nmaj, nmin, nsel);
  EXPECT_EQ(static_cast<std::size_t>(plan.npair), cumulative.size());
  return build_distribution(plan, cumulative);
}

std::vector<int> minority_hires(const std::vector<DistributionRow>& d) {
  std::vector<int> n;
  for (const DistributionRow& r : d) n.push_back(r.n_minority_hired);
  return n;
}

std::vector<int> majority_hires(const std::vector<DistributionRow>& d) {
  std::vector<int> n;
  for (const DistributionRow& r : d) n.push_back(r.n_majority_hired);
  return n;
}

TEST(DistributionRows, TypicalProblemGivesFourSplits) {
  // 7 majority and 3 minority applicants, 4 hired
  const auto d = rows_of(7, 3, 4, {0.1, 0.4, 0.9});
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[3].p_at_most, 1.0);
  EXPECT_EQ(minority_hires(d), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(majority_hires(d), (std::vector<int>{4, 3, 2, 1}));
  const double ai[] = {0.0, 7.0 / 9.0, 7.0 / 3.0, 7.0};
  const double pvs[] = {0.1, 0.3, 0.5, 0.1};
  for (std::size_t r = 0; r < 4; ++r) {
    ASSERT_TRUE(d[r].ai.has_value());
    EXPECT_NEAR(*d[r].ai, ai[r], 1e-15) << "row " << r + 1;
    EXPECT_NEAR(d[r].prob, pvs[r], 1e-15) << "row " << r + 1;
    EXPECT_EQ(d[r].sr_majority, d[r].n_majority_hired / 7.0);
    EXPECT_EQ(d[r].sr_minority, d[r].n_minority_hired / 3.0);
  }
  EXPECT_NEAR(d[2].cum_prob, 0.9, 1e-15);
  EXPECT_NEAR(d[3].cum_prob, 1.0, 1e-15);
}

TEST(DistributionRows, MoreHiresThanMajorityApplicantsEndsWithoutMajorityHire) {
  // 2 majority and 8 minority applicants, 5 hired: at least 3 minority hires
  const auto d = rows_of(2, 8, 5, {0.2, 0.6});
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(minority_hires(d), (std::vector<int>{3, 4, 5}));
  EXPECT_EQ(majority_hires(d), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(d[0].sr_majority, 1.0);
  EXPECT_EQ(d[2].sr_majority, 0.0);
  EXPECT_EQ(d[2].sr_minority, 5.0 / 8.0);
  EXPECT_FALSE(d[2].ai.has_value());
  EXPECT_DOUBLE_EQ(*d[1].ai, (4.0 / 8.0) / (1.0 / 2.0));
}

TEST(DistributionRows, HiringEveryoneIsOneCertainRow) {
  const auto d = rows_of(3, 2, 5, {});
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].prob, 1.0);
  EXPECT_EQ(d[0].cum_prob, 1.0);
  EXPECT_EQ(d[0].sr_majority, 1.0);
  EXPECT_EQ(d[0].sr_minority, 1.0);
  EXPECT_EQ(d[0].ai, 1.0);
}

TEST(DistributionRows, NegativePointProbabilityStaysInTheRunningSum) {
  const auto d = rows_of(7, 3, 4, {0.3, 0.2, 0.9});
  EXPECT_NEAR(d[1].prob, -0.1, 1e-15);
  EXPECT_NEAR(d[1].cum_prob, 0.2, 1e-15);
  EXPECT_NEAR(d[3].cum_prob, 1.0, 1e-15);
  // The running sum is not a copy of the cumulative values it came from.
  EXPECT_EQ(d[1].p_at_most, 0.2);
}

}  // namespace
}  // namespace tarven::core
