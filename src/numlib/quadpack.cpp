#include "numlib/quadpack.h"

#include <gsl/gsl_errno.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace tarven::numlib {
namespace {

constexpr int kInvalidInput = kIerInvalidInput;

// The calling thread's last GSL error reason. Copied, because GSL hands over a pointer only for
// the duration of the call. Per thread, and only between a call into GSL and the mapping of its
// status, so evaluations on other threads never see it.
thread_local std::array<char, 128> t_gsl_reason{};
thread_local bool t_gsl_reason_set = false;

void remember_gsl_error(const char* reason, const char* /*file*/, int /*line*/, int /*gsl_errno*/) {
  t_gsl_reason.fill('\0');
  if (reason != nullptr) std::strncpy(t_gsl_reason.data(), reason, t_gsl_reason.size() - 1);
  t_gsl_reason_set = true;
}

const char* last_gsl_reason() {
  return t_gsl_reason_set ? t_gsl_reason.data() : nullptr;
}

void clear_gsl_reason() {
  t_gsl_reason_set = false;
}

// GSL reports roundoff trouble of the bisection and of the extrapolation table with the same
// status; only its reason text tells QUADPACK's ier 2 from ier 4 apart.
int roundoff_code() {
  const char* reason = last_gsl_reason();
  return reason != nullptr && std::strstr(reason, "extrapolation") != nullptr ? 4 : 2;
}

int quadpack_code(int status) {
  switch (status) {
    case GSL_SUCCESS:
      return 0;
    case GSL_EMAXITER:
      return 1;
    case GSL_EROUND:
      return roundoff_code();
    case GSL_ESING:
      return 3;
    case GSL_EDIVERGE:
      return 5;
    case GSL_EFAILED:
      // GSL ends the bisection early with this status only when the error sum is not a number (a
      // NaN integrand); QUADPACK keeps subdividing to the limit in that case and ends with ier 1.
      // Keep the estimate visible rather than replacing it by the zero of an invalid-input return.
      return 1;
    default:
      return kInvalidInput;
  }
}

// QUADPACK leaves every output at zero when it refuses the input.
QuadResult invalid_input() {
  QuadResult r;
  r.ier = kInvalidInput;
  return r;
}

int subintervals_used(QuadWorkspace& work) {
  return static_cast<int>(work.gsl()->size);
}

}  // namespace

QuadWorkspace::QuadWorkspace(int limit) {
  detail::install_gsl_error_handler();
  if (limit < 1) return;
  work_ = gsl_integration_workspace_alloc(static_cast<std::size_t>(limit));
  if (work_ != nullptr) limit_ = limit;
}

QuadWorkspace::~QuadWorkspace() {
  if (work_ != nullptr) gsl_integration_workspace_free(work_);
}

QuadWorkspace::QuadWorkspace(QuadWorkspace&& other) noexcept
    : work_(std::exchange(other.work_, nullptr)), limit_(std::exchange(other.limit_, 0)) {}

QuadWorkspace& QuadWorkspace::operator=(QuadWorkspace&& other) noexcept {
  if (this != &other) {
    if (work_ != nullptr) gsl_integration_workspace_free(work_);
    work_ = std::exchange(other.work_, nullptr);
    limit_ = std::exchange(other.limit_, 0);
  }
  return *this;
}

QuadResult DQAGE(const gsl_function& f, double a, double b, double epsabs, double epsrel, int key,
                 QuadWorkspace& work) {
  if (work.gsl() == nullptr) return invalid_input();
  const int keyf = std::clamp(key, 1, 6);
  clear_gsl_reason();
  QuadResult r;
  int status = gsl_integration_qag(&f, a, b, epsabs, epsrel, static_cast<std::size_t>(work.limit()),
                                   keyf, work.gsl(), &r.result, &r.abserr);
  r.ier = quadpack_code(status);
  if (r.ier == kInvalidInput) return invalid_input();
  r.last = subintervals_used(work);
  // One rule application on the whole range, then two per bisection; the 15-point rule is the
  // only one whose point count is not 10*key+1.
  const int points = keyf == 1 ? 15 : 10 * keyf + 1;
  r.neval = points * (2 * r.last - 1);
  return r;
}

QuadResult DQAGIE(const gsl_function& f, double bound, int inf, double epsabs, double epsrel,
                  QuadWorkspace& work) {
  if (work.gsl() == nullptr) return invalid_input();
  if (inf != -1 && inf != 1 && inf != 2) return invalid_input();
  clear_gsl_reason();
  QuadResult r;
  // GSL takes a mutable gsl_function for the infinite ranges but only reads it.
  gsl_function fn = f;
  const std::size_t limit = static_cast<std::size_t>(work.limit());
  int status = GSL_SUCCESS;
  switch (inf) {
    case -1:
      status = gsl_integration_qagil(&fn, bound, epsabs, epsrel, limit, work.gsl(), &r.result,
                                     &r.abserr);
      break;
    case 1:
      status = gsl_integration_qagiu(&fn, bound, epsabs, epsrel, limit, work.gsl(), &r.result,
                                     &r.abserr);
      break;
    default:
      status = gsl_integration_qagi(&fn, epsabs, epsrel, limit, work.gsl(), &r.result, &r.abserr);
      break;
  }
  r.ier = quadpack_code(status);
  if (r.ier == kInvalidInput) return invalid_input();
  r.last = subintervals_used(work);
  // 15-point rule on the transformed range; the whole line evaluates f at x and -x.
  r.neval = 30 * r.last - 15;
  if (inf == 2) r.neval *= 2;
  return r;
}

namespace detail {

void install_gsl_error_handler() {
  static const bool installed = (gsl_set_error_handler(&remember_gsl_error), true);
  (void)installed;
}

}  // namespace detail

std::vector<double> gauss_kronrod61_nodes(double a, double b) {
  std::vector<double> nodes;
  nodes.reserve(61);
  auto record = [](double x, void* params) {
    static_cast<std::vector<double>*>(params)->push_back(x);
    return 0.0;
  };
  const gsl_function f{record, &nodes};
  double result, abserr, resabs, resasc;
  gsl_integration_qk61(&f, a, b, &result, &abserr, &resabs, &resasc);
  return nodes;
}

}  // namespace tarven::numlib
