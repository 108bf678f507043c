#pragma once

namespace tarven::numlib {

// ln B(a, b), the natural logarithm of the complete beta function. a <= 0 or b <= 0 (or a NaN) is
// a fatal library error that stops the run.
double DLBETA(double a, double b);

}  // namespace tarven::numlib
