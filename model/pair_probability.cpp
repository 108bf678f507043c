#include "model/pair_probability.h"

#include "model/integrands.h"
#include "numlib/lbeta.h"

namespace tarven::model {
namespace {

constexpr double kOuterEpsAbs = 1e-8;
constexpr double kOuterEpsRel = 1e-5;
constexpr int kGaussKronrod61 = 6;

}  // namespace

PairAttempt attempt_pair(ModelState& s, numlib::QuadWorkspace& outer_work, double a, double b) {
  s.lbeta1 =
      numlib::DLBETA(static_cast<double>(s.nmaj - s.iorder + 1), static_cast<double>(s.iorder));
  // DQAG is DQAGE followed by the library's message on an abnormal return; the message goes
  // through the state's diagnostics so that a caller can collect it with the console lines.
  const gsl_function f{&fun_callback, &s};
  const numlib::QuadResult r =
      numlib::DQAGE(f, a, b, kOuterEpsAbs, kOuterEpsRel, kGaussKronrod61, outer_work);
  if (r.ier != 0) [[unlikely]]
    s.diagnostics->abnormal_return("DQAG", r.ier);
  return PairAttempt{s.lbeta1, r.result};
}

}  // namespace tarven::model
