#pragma once

// How the library calls Boost.Math: no exceptions and no errno, whatever the arguments, so that it
// stays quiet; callers check results where a failure could matter. Whether double arguments are
// evaluated in long double is decided here and nowhere else (TARVEN_EXTENDED_PRECISION, set by the
// build).

#include <boost/math/policies/policy.hpp>

#ifndef TARVEN_EXTENDED_PRECISION
#error "TARVEN_EXTENDED_PRECISION must be defined by the build (0 or 1)"
#endif

namespace tarven::model {

namespace policies = boost::math::policies;

// In long double, the incomplete beta function and Owen's T stay good to a few units in the last
// place even for parameters in the hundreds of thousands; in double they lose up to five decimal
// digits there. Where long double is emulated in software the build evaluates in double.
using Accurate = policies::policy<policies::promote_double<TARVEN_EXTENDED_PRECISION != 0>,
                                  policies::domain_error<policies::ignore_error>,
                                  policies::pole_error<policies::ignore_error>,
                                  policies::overflow_error<policies::ignore_error>,
                                  policies::underflow_error<policies::ignore_error>,
                                  policies::evaluation_error<policies::ignore_error>,
                                  policies::rounding_error<policies::ignore_error>,
                                  policies::indeterminate_result_error<policies::ignore_error>>;

// Evaluated in double whatever the build: for starting points and search windows whose effect is
// checked afterwards.
using Fast = policies::normalise<Accurate, policies::promote_double<false>>::type;

}  // namespace tarven::model
