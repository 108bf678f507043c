// Every split probability of the ladder of problems from 3,000 to 1,000,000 applicants, through
// the single-integral engine, printed exactly (17 significant digits) with the seconds each
// problem took: the output of two builds of this program, one evaluating Boost.Math in long double
// and one in double (TARVEN_EXTENDED_PRECISION), is compared by tools/compare_precision.sh.
//
//   ladder_splits > splits.txt    (lines: problem, then "split N2 prob", then "seconds s")

#include <chrono>
#include <cstdio>
#include <variant>

#include "tarven/analysis.h"

namespace {

struct Rung {
  int ntot, nmaj, nsel;
  double d, rho, retention;
};

constexpr Rung kLadder[] = {
    {3000, 2100, 1500, 0.0, 0.4, 0.5},       {3000, 2400, 300, 0.8, 0.4, 0.5},
    {30000, 24000, 3000, 0.8, 0.4, 0.5},     {30000, 15000, 15000, -0.5, 0.9, 0.05},
    {300000, 240000, 3000, 0.5, 0.3, 0.6},   {300000, 210000, 90000, 0.2, 0.5, 0.3},
    {1000000, 700000, 2000, 0.0, 0.4, 0.5},  {1000000, 500000, 10000, 0.5, 0.3, 0.6},
    {1000000, 900000, 100000, 1.0, 0.7, 0.2},
};

}  // namespace

int main() {
  tarven::Options options;
  options.threads = 1;
  for (const Rung& r : kLadder) {
    const auto made = tarven::Problem::make(r.ntot, r.nmaj, r.nsel, r.d, r.rho, r.retention);
    const tarven::Problem& p = std::get<tarven::Problem>(made);
    const auto start = std::chrono::steady_clock::now();
    const tarven::Analysis a = tarven::analyse(p, {}, options);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("problem %d %d %d %g %g %g %s\n", r.ntot, r.nmaj, r.nsel, r.d, r.rho, r.retention,
                tarven::status_name(a.status));
    for (const tarven::DistributionRow& row : a.result.distribution)
      std::printf("split %d %.17g\n", row.n_minority_hired, row.prob);
    std::printf("seconds %.3f\n", seconds);
  }
  return 0;
}
