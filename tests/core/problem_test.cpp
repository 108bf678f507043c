#include "tarven/problem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
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

// Shares are how researchers think; counts are what the problem holds. A share must give a whole
// number of applicants, and each size is given one way only.
TEST(ProblemInputs, SharesGiveTheSameProblemAsCountsOrAreRefusedWithTheCountTheyGive) {
  auto inputs = [](std::optional<double> majority, std::optional<double> minority,
                   std::optional<double> share, std::optional<double> hired,
                   std::optional<double> ratio, double n_total = 100) {
    ScenarioInputs in;
    in.n_total = n_total;
    in.n_majority = majority;
    in.n_minority = minority;
    in.minority_share = share;
    in.n_hired = hired;
    in.selection_ratio = ratio;
    in.d = 0.5;
    in.rho = 0.3;
    in.retention = 0.6;
    return problem_from(in);
  };
  const std::nullopt_t no = std::nullopt;
  for (const auto& made : {inputs(70, no, no, 20, no), inputs(no, 30, no, no, 0.2),
                           inputs(no, no, 0.3, 20, no), inputs(no, no, 0.3, no, 0.2)}) {
    const Problem* p = std::get_if<Problem>(&made);
    ASSERT_NE(p, nullptr) << std::get<InputsError>(made).message;
    EXPECT_EQ(p->n_majority(), 70);
    EXPECT_EQ(p->n_hired(), 20);
  }
  // 0.3 of a million is 300000.00000000006 in doubles: within the tolerance of a whole number.
  EXPECT_TRUE(std::holds_alternative<Problem>(inputs(no, no, 0.3, no, 0.001, 1e6)));

  struct Refusal {
    std::variant<Problem, InputsError> made;
    std::vector<std::string> fields;
    std::string message;
  };
  const std::vector<Refusal> refusals = {
      {inputs(no, no, 0.333, 20, no),
       {"n_total", "minority_share"},
       "n_total × minority_share = 33.3: not a whole number of applicants"},
      {inputs(70, no, no, no, 0.125),
       {"n_total", "selection_ratio"},
       "n_total × selection_ratio = 12.5: not a whole number of applicants"},
      {inputs(70, no, 0.3, 20, no),
       {"n_majority", "minority_share"},
       "n_majority and minority_share are given: give only one of n_majority, n_minority or "
       "minority_share"},
      {inputs(no, no, no, 20, no),
       {"n_majority"},
       "n_majority: missing (or give n_minority or minority_share)"},
      {inputs(70, no, no, 20, 0.2),
       {"n_hired", "selection_ratio"},
       "n_hired and selection_ratio are given: give only one of n_hired or selection_ratio"},
      {inputs(no, 0, no, 20, no),
       {"n_minority"},
       "n_minority = 0: must be from 1 to 99, so that both groups have applicants"},
      {inputs(no, no, 1.0, 20, no),
       {"minority_share"},
       "minority_share = 1: must lie above 0 and below 1"},
      {inputs(70.5, no, no, 20, no), {"n_majority"}, "n_majority = 70.5: not a whole number"},
      {inputs(70, no, no, 101, no), {"n_hired"}, "n_hired = 101: must be from 1 to 100"},
  };
  for (const Refusal& r : refusals) {
    const InputsError* e = std::get_if<InputsError>(&r.made);
    ASSERT_NE(e, nullptr) << r.message;
    EXPECT_EQ(e->message, r.message);
    EXPECT_EQ(e->fields, r.fields) << r.message;
  }
}

// The library's list of named inputs must say what problem_from does: one input of each need
// gives the problem, two of one need are refused by both names, none by the need's first name.
TEST(ProblemInputs, NamedInputsAreTheAlternativesTheRulesAccept) {
  const std::map<std::string, double> value{
      {"n_total", 100},  {"n_majority", 70},       {"n_minority", 30}, {"minority_share", 0.3},
      {"n_hired", 20},   {"selection_ratio", 0.2}, {"d", 0.5},         {"rho", 0.3},
      {"retention", 0.6}};
  auto with = [&](const std::vector<std::size_t>& chosen) {
    ScenarioInputs in;
    for (std::size_t i : chosen)
      in.*kScenarioInputNames[i].member = value.at(kScenarioInputNames[i].name);
    return problem_from(in);
  };
  std::vector<std::vector<std::size_t>> alternatives(kScenarioInputNeeds);
  for (std::size_t i = 0; i < kScenarioInputNames.size(); ++i)
    alternatives.at(static_cast<std::size_t>(kScenarioInputNames[i].need)).push_back(i);

  // One alternative of every need, in every combination.
  std::size_t combinations = 1;
  for (const auto& a : alternatives) combinations *= a.size();
  ASSERT_EQ(combinations, 6U);
  for (std::size_t c = 0; c < combinations; ++c) {
    std::vector<std::size_t> chosen;
    for (std::size_t k = c; const auto& a : alternatives) {
      chosen.push_back(a[k % a.size()]);
      k /= a.size();
    }
    const auto made = with(chosen);
    const Problem* p = std::get_if<Problem>(&made);
    ASSERT_NE(p, nullptr) << std::get<InputsError>(made).message;
    EXPECT_EQ(p->n_majority(), 70);
    EXPECT_EQ(p->n_hired(), 20);
  }

  for (const auto& need : alternatives) {
    std::vector<std::size_t> others;
    for (const auto& a : alternatives)
      if (&a != &need) others.push_back(a.front());
    const auto none = with(others);
    ASSERT_TRUE(std::holds_alternative<InputsError>(none));
    EXPECT_EQ(std::get<InputsError>(none).fields,
              std::vector<std::string>{kScenarioInputNames[need.front()].name});
    if (need.size() < 2) continue;
    others.push_back(need[0]);
    others.push_back(need[1]);
    const auto two = with(others);
    ASSERT_TRUE(std::holds_alternative<InputsError>(two));
    EXPECT_EQ(std::get<InputsError>(two).fields,
              (std::vector<std::string>{kScenarioInputNames[need[0]].name,
                                        kScenarioInputNames[need[1]].name}));
  }
}

}  // namespace
}  // namespace tarven
