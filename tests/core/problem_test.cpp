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
  EXPECT_EQ(refusal(1, 1, 1, 0.5, 0.3, 0.6).message(), "n_total = 1: must be from 2 to 1000000");
  EXPECT_EQ(refusal(10, 10, 1, 0.5, 0.3, 0.6).message(),
            "n_majority = 10: must be from 1 to 9, so that both groups have applicants");
  EXPECT_EQ(refusal(10, 7, 11, 0.5, 0.3, 0.6).message(), "n_hired = 11: must be from 1 to 10");
  EXPECT_EQ(refusal(10, 7, 4, 10.5, 0.3, 0.6).message(), "d = 10.5: must lie between -10 and 10");
  EXPECT_EQ(refusal(10, 7, 4, 0.5, -0.9995, 0.6).message(),
            "rho = -0.9995: must lie between -0.999 and 0.999");
  EXPECT_EQ(refusal(10, 7, 4, 0.5, 0.3, 0.0).message(),
            "retention = 0: must lie between 0.000001 and 0.999999");
  // The first refused field is the one named.
  EXPECT_EQ(refusal(1, 5, 0, 0.5, 2.0, 0.6).field, ProblemField::kTotal);
}

TEST(ProblemFactory, RangesAreClosedAtTheirLimitsAndRefuseEverythingBeyond) {
  const auto accepted = [](std::int64_t ntot, double d, double rho, double retention) {
    return std::holds_alternative<Problem>(Problem::make(ntot, ntot - 1, 1, d, rho, retention));
  };
  EXPECT_TRUE(accepted(1000000, 10.0, 0.999, 1e-6));
  EXPECT_TRUE(accepted(2, -10.0, -0.999, 0.999999));
  EXPECT_FALSE(accepted(1000001, 0.5, 0.3, 0.6));
  EXPECT_FALSE(accepted(10, std::nextafter(10.0, 11.0), 0.3, 0.6));
  EXPECT_FALSE(accepted(10, -std::nextafter(10.0, 11.0), 0.3, 0.6));
  EXPECT_FALSE(accepted(10, 0.5, std::nextafter(0.999, 1.0), 0.6));
  EXPECT_FALSE(accepted(10, 0.5, 0.3, std::nextafter(1e-6, 0.0)));
  EXPECT_FALSE(accepted(10, 0.5, 0.3, std::nextafter(0.999999, 1.0)));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(accepted(10, nan, 0.3, 0.6));
  EXPECT_FALSE(accepted(10, 0.5, nan, 0.6));
  EXPECT_FALSE(accepted(10, 0.5, 0.3, nan));
}

TEST(ProblemFactory, ScreeningThatKeepsNoApplicantIsRefused) {
  // 1 - 1e-17 is 1 in double precision: no cutoff keeps so small a share (the range check refuses
  // it first; the screening check on its own still knows why).
  const std::optional<ProblemError> none = check_screening(0.5, 0.3, 1e-17);
  ASSERT_TRUE(none.has_value());
  EXPECT_EQ(none->fault, ProblemFault::kNothingRetained);
  EXPECT_EQ(none->field, ProblemField::kRetention);
  // A majority far below the minority, strongly screened, keeps nobody of its own.
  const ProblemError majority = refusal(10, 7, 4, -10.0, 0.999, 1e-6);
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
