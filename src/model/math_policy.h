#pragma once

// How this engine calls Boost.Math: no exceptions and no errno, whatever the arguments, so that the
// engine stays quiet; callers check results where a failure could matter.

#include <boost/math/policies/policy.hpp>

namespace tarven::model {

namespace policies = boost::math::policies;

// Double arguments are evaluated in long double internally (Boost's default), which keeps the
// incomplete beta function and Owen's T good to a few units in the last place even for parameters
// in the hundreds of thousands; in double they lose up to five decimal digits there.
using Accurate = policies::policy<policies::domain_error<policies::ignore_error>,
                                  policies::pole_error<policies::ignore_error>,
                                  policies::overflow_error<policies::ignore_error>,
                                  policies::underflow_error<policies::ignore_error>,
                                  policies::evaluation_error<policies::ignore_error>,
                                  policies::rounding_error<policies::ignore_error>,
                                  policies::indeterminate_result_error<policies::ignore_error>>;

// Evaluated in double: for starting points and search windows whose effect is checked afterwards.
using Fast = policies::normalise<Accurate, policies::promote_double<false>>::type;

}  // namespace tarven::model
