#include "numlib/quadpack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tarven::numlib {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

double gauss(double x, void*) {
  return std::exp(-0.5 * x * x);
}
double expo(double x, void*) {
  return std::exp(x);
}
double power(double x, void* p) {
  return std::pow(x, *static_cast<double*>(p));
}
double pole(double x, void*) {
  return 1.0 / std::fabs(x - 1.0 / 3.0);
}
double kink(double x, void*) {
  return std::fabs(x - 1.0 / 3.0);
}
double sine(double x, void*) {
  return std::sin(x);
}
// exp(-x) with a ripple far below the tolerance's reach: bisection stops improving (roundoff).
double rippled_decay(double x, void*) {
  return std::exp(-x) * (1.0 + 1e-9 * std::sin(1e7 * x));
}

struct Counted {
  gsl_function inner;
  long calls = 0;
};
double counted(double x, void* p) {
  auto* c = static_cast<Counted*>(p);
  ++c->calls;
  return c->inner.function(x, c->inner.params);
}

void expect_within_tolerance(const QuadResult& r, double exact, double epsrel) {
  EXPECT_EQ(r.ier, 0);
  EXPECT_NEAR(r.result, exact, epsrel * std::fabs(exact));
  EXPECT_LE(r.abserr, epsrel * std::fabs(r.result));
}

TEST(Dqage, FiniteRangeKnownValuesForEveryRule) {
  QuadWorkspace work(100);
  gsl_function f{expo, nullptr};
  for (int key = 1; key <= 6; ++key) {
    SCOPED_TRACE(key);
    expect_within_tolerance(DQAGE(f, 0.0, 1.0, 0.0, 1e-10, key, work), std::numbers::e - 1.0,
                            1e-10);
    // Reversed limits change the sign, as for the definite integral.
    expect_within_tolerance(DQAGE(f, 1.0, 0.0, 0.0, 1e-10, key, work), 1.0 - std::numbers::e,
                            1e-10);
  }
  // An integrable endpoint singularity needs many bisections but must still converge.
  QuadWorkspace big(1000);
  double p = -0.9;
  gsl_function g{power, &p};
  QuadResult r = DQAGE(g, 0.0, 1.0, 0.0, 1e-10, 6, big);
  expect_within_tolerance(r, 10.0, 1e-10);
  EXPECT_GT(r.last, 10);
}

TEST(Dqagie, EachInfiniteRangeSelectsTheRightTransformation) {
  QuadWorkspace work(200);
  gsl_function g{gauss, nullptr};
  const double half = std::sqrt(std::numbers::pi / 2.0);
  expect_within_tolerance(DQAGIE(g, 0.0, -1, 0.0, 1e-10, work), half, 1e-10);
  expect_within_tolerance(DQAGIE(g, 0.0, 1, 0.0, 1e-10, work), half, 1e-10);
  // The whole line ignores the bound.
  expect_within_tolerance(DQAGIE(g, 5.0, 2, 0.0, 1e-10, work), 2.0 * half, 1e-10);
  // Bounds away from zero: exp(x) only converges towards -inf, x^-2 only towards +inf.
  gsl_function e{expo, nullptr};
  expect_within_tolerance(DQAGIE(e, 1.0, -1, 0.0, 1e-10, work), std::numbers::e, 1e-10);
  double p = -2.0;
  gsl_function h{power, &p};
  expect_within_tolerance(DQAGIE(h, 2.0, 1, 0.0, 1e-10, work), 0.5, 1e-10);
}

TEST(Quadpack, NevalCountsTheIntegrandCallsOfLastSubintervals) {
  QuadWorkspace work(50);
  Counted c{{kink, nullptr}};
  gsl_function f{counted, &c};
  for (int key = 0; key <= 7; ++key) {  // 0 and 7 are clamped to the 15- and 61-point rules
    SCOPED_TRACE(key);
    c.calls = 0;
    QuadResult r = DQAGE(f, 0.0, 1.0, 0.0, 1e-9, key, work);
    EXPECT_EQ(r.ier, 0);
    EXPECT_GT(r.last, 1);
    EXPECT_EQ(r.neval, c.calls);
  }
  c.inner = {gauss, nullptr};
  for (int inf : {-1, 1, 2}) {
    SCOPED_TRACE(inf);
    c.calls = 0;
    QuadResult r = DQAGIE(f, 0.5, inf, 0.0, 1e-12, work);
    EXPECT_EQ(r.ier, 0);
    EXPECT_GT(r.last, 1);
    EXPECT_EQ(r.neval, c.calls);
  }
}

TEST(Quadpack, RuleNodesAreWhereTheFirstStepOfTheIntegrationEvaluates) {
  // A smooth integrand on a short interval is done after one application of the rule, so every
  // abscissa it is called at must be one of the listed nodes, bit for bit and in the same order.
  std::vector<double> called;
  auto record = [](double x, void* params) {
    static_cast<std::vector<double>*>(params)->push_back(x);
    return 1.0 + 0.25 * x;
  };
  const gsl_function f{record, &called};
  QuadWorkspace work(10);
  const QuadResult r = DQAGE(f, -0.3, 0.7, 1e-8, 1e-8, 6, work);
  ASSERT_EQ(r.ier, 0);
  ASSERT_EQ(r.last, 1);
  EXPECT_EQ(called, gauss_kronrod61_nodes(-0.3, 0.7));
  EXPECT_EQ(called.size(), 61u);
}

TEST(Quadpack, AbnormalReturnsCarryQuadpackCodes) {
  QuadWorkspace small(5), work(1000);
  gsl_function k{kink, nullptr}, p{pole, nullptr}, s{sine, nullptr}, d{rippled_decay, nullptr};
  QuadResult r = DQAGE(k, 0.0, 1.0, 0.0, 1e-12, 6, small);
  EXPECT_EQ(r.ier, 1);
  EXPECT_EQ(r.last, 5);
  EXPECT_EQ(r.neval, 61 * 9);
  EXPECT_NEAR(r.result, 5.0 / 18.0, 1e-4);  // the estimate is still returned
  EXPECT_EQ(DQAGE(d, 0.0, 1.0, 0.0, 1e-13, 6, work).ier, 2);
  EXPECT_EQ(DQAGE(p, 0.0, 1.0, 0.0, 1e-8, 6, work).ier, 3);
  EXPECT_EQ(DQAGIE(d, 0.0, 1, 0.0, 1e-13, work).ier, 2);
  EXPECT_EQ(DQAGIE(s, 0.0, 1, 0.0, 1e-8, work).ier, 4);
  double half = -0.5;
  gsl_function slow{power, &half};
  EXPECT_EQ(DQAGIE(slow, 1.0, 1, 0.0, 1e-8, work).ier, 5);
}

TEST(Quadpack, InvalidInputLeavesEveryOutputZero) {
  QuadWorkspace work(100), none(0);
  gsl_function g{gauss, nullptr};
  ASSERT_EQ(DQAGE(g, 0.0, 1.0, 0.0, 1e-8, 6, work).ier, 0);  // leaves a filled workspace behind
  for (const QuadResult& r :
       {DQAGE(g, 0.0, 1.0, 0.0, 1e-15, 6, work), DQAGIE(g, 0.0, 1, -1.0, 0.0, work),
        DQAGIE(g, 0.0, 0, 0.0, 1e-8, work), DQAGIE(g, 0.0, -2, 0.0, 1e-8, work),
        DQAGE(g, 0.0, 1.0, 0.0, 1e-8, 6, none)}) {
    EXPECT_EQ(r.ier, 6);
    EXPECT_EQ(r.result, 0.0);
    EXPECT_EQ(r.abserr, 0.0);
    EXPECT_EQ(r.neval, 0);
    EXPECT_EQ(r.last, 0);
  }
}

TEST(Quadpack, QuietRoutinesNeverWriteToStderr) {
  QuadWorkspace one(1);
  gsl_function k{kink, nullptr};
  CaptureStderr();
  int ier1 = DQAGE(k, 0.0, 1.0, 0.0, 1e-10, 1, one).ier;
  int ier6 = DQAGE(k, 0.0, 1.0, 0.0, 0.0, 6, one).ier;
  int ier6i = DQAGIE(k, 0.0, 7, 0.0, 1e-8, one).ier;
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(ier1, 1);
  EXPECT_EQ(ier6, 6);
  EXPECT_EQ(ier6i, 6);
}

TEST(QuadWorkspace, MoveTransfersTheListsAndEmptiesTheSource) {
  QuadWorkspace a(30);
  QuadWorkspace b(std::move(a));
  EXPECT_EQ(b.limit(), 30);
  EXPECT_EQ(a.limit(), 0);  // NOLINT(bugprone-use-after-move): the moved-from state is defined
  gsl_function g{gauss, nullptr};
  EXPECT_EQ(DQAGE(g, 0.0, 1.0, 0.0, 1e-8, 6, a).ier, 6);
  QuadWorkspace c(1);
  c = std::move(b);
  EXPECT_EQ(c.limit(), 30);
  EXPECT_EQ(DQAGE(g, 0.0, 1.0, 0.0, 1e-8, 6, c).ier, 0);
}

// Each thread owns its workspace; the results must not depend on what runs beside it.
TEST(Quadpack, ConcurrentIntegrationsOnSeparateWorkspaces) {
  gsl_function d{rippled_decay, nullptr}, s{sine, nullptr};
  QuadWorkspace ref_work(1000);
  const QuadResult refs[2] = {DQAGIE(d, 0.0, 1, 0.0, 1e-13, ref_work),
                              DQAGIE(s, 0.0, 1, 0.0, 1e-8, ref_work)};
  int mismatches[4] = {};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      QuadWorkspace work(1000);
      for (int i = 0; i < 50; ++i) {
        QuadResult r = DQAGIE(t % 2 ? s : d, 0.0, 1, 0.0, t % 2 ? 1e-8 : 1e-13, work);
        const QuadResult& ref = refs[t % 2];
        if (r.ier != ref.ier || r.result != ref.result || r.last != ref.last) ++mismatches[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int m : mismatches) EXPECT_EQ(m, 0);
}

}  // namespace
}  // namespace tarven::numlib
