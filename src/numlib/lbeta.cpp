#include "numlib/lbeta.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_sf_gamma.h>

#include <cmath>

#include "numlib/quadpack.h"

namespace tarven::numlib {

LbetaResult DLBETA(double a, double b) {
  detail::install_gsl_error_handler();
  // Written so that a NaN argument fails the test as well.
  if (!(a > 0.0) || !(b > 0.0)) return LbetaResult{0.0, 1};
  gsl_sf_result r;
  // At the edges of the double range (an infinite or subnormal argument) GSL can hand back a NaN
  // with a success status, so the value is checked as well.
  if (gsl_sf_lnbeta_e(a, b, &r) != GSL_SUCCESS || !std::isfinite(r.val)) return LbetaResult{0.0, 2};
  return LbetaResult{r.val, 0};
}

std::string_view lbeta_error_text(int error) {
  return error == 1 ? "AN ARGUMENT IS NOT POSITIVE"
                    : "LOG BETA CANNOT BE COMPUTED FOR THESE ARGUMENTS";
}

}  // namespace tarven::numlib
