#include "tarven/problem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <variant>

namespace tarven {
namespace {

ProblemError refusal(std::int64_t ntot, std::int64_t nmaj, std::int64_t nsel, double d, double rho,
                     double retention) {
  const ProblemOrError made = Problem::make(ntot, nmaj, nsel, d, rho, retention);
  EXPECT_TRUE(std::holds_alternative<ProblemError>(made));
  return std::holds_alternative<ProblemError>(made) ? std::get<ProblemError>(made) : ProblemError{};
}

TEST(ProblemFactory, EachRefusedFieldIsNamedWithItsValueAndWhatIsAllowed) {
  EXPECT_EQ(refusal(1, 1, 1, 0.5, 0.3, 0.6).message(), "n_total = 1: must be from 2 to 2147483647");
  EXPECT_EQ(refusal(10, 10, 1, 0.5, 0.3, 0.6).message(),
            "n_majority = 10: must be from 1 to 9, so that both groups have applicants");
  EXPECT_EQ(refusal(10, 7, 11, 0.5, 0.3, 0.6).message(), "n_hired = 11: must be from 1 to 10");
  EXPECT_EQ(refusal(10, 7, 4, std::numeric_limits<double>::infinity(), 0.3, 0.6).field,
            ProblemField::kEffectSize);
  EXPECT_EQ(refusal(10, 7, 4, 0.5, 1.0, 0.6).message(),
            "rho = 1: must lie strictly between -1 and 1");
  EXPECT_EQ(refusal(10, 7, 4, 0.5, 0.3, 0.0).message(),
            "retention = 0: must lie strictly between 0 and 1");
  // The first refused field is the one named.
  EXPECT_EQ(refusal(1, 5, 0, 0.5, 2.0, 0.6).field, ProblemField::kTotal);
}

TEST(ProblemFactory, ScreeningThatKeepsNoApplicantIsRefused) {
  // 1 - 1e-17 is 1 in double precision: no cutoff keeps so small a share.
  const ProblemError none = refusal(10, 7, 4, 0.5, 0.3, 1e-17);
  EXPECT_EQ(none.fault, ProblemFault::kNothingRetained);
  EXPECT_EQ(none.field, ProblemField::kRetention);
  // A majority far below the minority, strongly screened, keeps nobody of its own.
  const ProblemError majority = refusal(10, 7, 4, -40.0, 0.9, 1e-6);
  EXPECT_EQ(majority.fault, ProblemFault::kNoMajorityRetained);
}

TEST(ProblemFactory, AcceptedProblemCarriesItsCutoff) {
  const Problem p = std::get<Problem>(Problem::make(10, 7, 4, 0.5, 0.3, 0.6));
  EXPECT_EQ(p.n_minority(), 3);
  // The cutoff keeps 60 % of a standard normal: the 40th percentile.
  EXPECT_NEAR(0.5 * std::erfc(p.cutoff() / std::sqrt(2.0)), 0.6, 1e-15);
  EXPECT_EQ(std::get<Problem>(Problem::make(10, 7, 4, 0.5, 0.3, 0.5)).cutoff(), 0.0);
}

}  // namespace
}  // namespace tarven
