#pragma once

#include <string_view>

namespace tarven::numlib {

// ln B(a, b), the natural logarithm of the complete beta function. error 0: value holds it;
// error 1: an argument is not positive (or a NaN); error 2: it cannot be computed for these
// arguments. Both errors are fatal errors of the library: the caller stops the evaluation.
struct LbetaResult {
  double value = 0.0;
  int error = 0;
};
LbetaResult DLBETA(double a, double b);

// The library's message text of a DLBETA error.
std::string_view lbeta_error_text(int error);

}  // namespace tarven::numlib
