#include "numlib/lbeta.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_sf_gamma.h>

#include <cmath>

#include "numlib/error_handler.h"

namespace tarven::numlib {

double DLBETA(double a, double b) {
  detail::install_gsl_error_handler();
  // Written so that a NaN argument fails the test as well.
  if (!(a > 0.0) || !(b > 0.0)) fatal_error("DLBETA", "AN ARGUMENT IS NOT POSITIVE", 1);
  gsl_sf_result r;
  // At the edges of the double range (an infinite or subnormal argument) GSL can hand back a NaN
  // with a success status, so the value is checked as well.
  if (gsl_sf_lnbeta_e(a, b, &r) != GSL_SUCCESS || !std::isfinite(r.val)) {
    fatal_error("DLBETA", "LOG BETA CANNOT BE COMPUTED FOR THESE ARGUMENTS", 2);
  }
  return r.val;
}

}  // namespace tarven::numlib
