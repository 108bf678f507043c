#pragma once

// Adaptive Gauss-Kronrod quadrature with QUADPACK's calling conventions and output meanings,
// computed by GSL. The routines report only through ier; a caller that shows the library's
// abnormal-return message counts it in its numlib::MessageLog (numlib/messages.h).

#include <gsl/gsl_integration.h>

#include <vector>

namespace tarven::numlib {

// QUADPACK's error codes that callers act on; 1..5 are the other abnormal returns.
inline constexpr int kIerSuccess = 0;
inline constexpr int kIerInvalidInput = 6;
// Rule key of the 61-point Gauss-Kronrod rule.
inline constexpr int kGaussKronrod61 = 6;

struct QuadResult {     // QUADPACK's outputs
  double result = 0.0;  // RESULT
  double abserr = 0.0;  // ABSERR
  int neval = 0;        // NEVAL (computed from LAST by QUADPACK's formula)
  int ier = 0;          // IER 0..6 (QUADPACK meaning)
  int last = 0;         // LAST, subintervals used
};

// Work lists of one integrator, allocated once for a subinterval limit (LIMIT) and reused by
// every call that is handed it. Move-only. LIMIT of the call = limit of the workspace.
// A workspace with limit < 1 (or one moved from) holds no lists; integrating with it is invalid
// input (ier 6).
class QuadWorkspace {
 public:
  explicit QuadWorkspace(int limit);
  ~QuadWorkspace();
  QuadWorkspace(QuadWorkspace&& other) noexcept;
  QuadWorkspace& operator=(QuadWorkspace&& other) noexcept;
  QuadWorkspace(const QuadWorkspace&) = delete;
  QuadWorkspace& operator=(const QuadWorkspace&) = delete;

  int limit() const { return limit_; }
  gsl_integration_workspace* gsl() { return work_; }

 private:
  gsl_integration_workspace* work_ = nullptr;
  int limit_ = 0;
};

// DQAGE: finite [a, b], key 1..6 (6 = 61-point Gauss-Kronrod; other keys are clamped into 1..6 as
// QUADPACK does), reports only through ier.
QuadResult DQAGE(const gsl_function& f, double a, double b, double epsabs, double epsrel, int key,
                 QuadWorkspace& work);
// DQAGIE: infinite range, inf = -1: (-inf, bound]; 1: [bound, +inf); 2: whole line (bound
// ignored). Any other inf is invalid input (ier 6). Quiet.
QuadResult DQAGIE(const gsl_function& f, double bound, int inf, double epsabs, double epsrel,
                  QuadWorkspace& work);

namespace detail {
// Replaces GSL's abort-on-error handler for the whole process, once and thread-safely, by one
// that never prints or aborts and only remembers the reason text of the calling thread's last GSL
// error (that is how ier 2 and 4 are told apart). Every entry point of numlib calls it.
void install_gsl_error_handler();
}  // namespace detail

// The abscissae at which the 61-point rule evaluates an integrand on [a, b], in the order it asks
// for them, with the very bits DQAG's first steps use on that interval.
std::vector<double> gauss_kronrod61_nodes(double a, double b);

}  // namespace tarven::numlib
