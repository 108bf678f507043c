// Times the single-integral engine on every pair (every feasible number of minority hires) of
// three problems, on one thread, engine construction included:
//
//   single_engine_bench [Google Benchmark flags]
//
// The counters give the number of pairs, the largest error estimate and how many pairs missed the
// engine's tolerance, so that a faster run cannot hide a less accurate one.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <boost/math/special_functions/erf.hpp>
#include <cmath>

#include "engine/single/single_engine.h"

namespace {

using tarven::engine::single::PairValue;
using tarven::engine::single::SingleEngine;
using tarven::engine::single::SingleProblem;

struct Stated {
  int nmaj, nmin, nsel;
  double es, rho, retention;
};

void all_pairs(benchmark::State& state, Stated s) {
  const double zcut = std::sqrt(2.0) * boost::math::erfc_inv(2.0 * s.retention);
  const int first = std::max(s.nsel - s.nmaj, 0);
  const int last = std::min(s.nsel, s.nmin) - 1;
  double worst = 0.0;
  int missed = 0;
  for (auto _ : state) {
    const SingleEngine engine(SingleProblem{s.nmaj, s.nmin, s.es, s.rho, zcut});
    double sum = 0.0;
    worst = 0.0;
    missed = 0;
    for (int w = first; w <= last; ++w) {
      const PairValue p = engine.cumulative(s.nmaj - s.nsel + w + 1, s.nmin - w);
      sum += p.value;
      worst = std::max(worst, p.abserr);
      missed += p.converged ? 0 : 1;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["pairs"] = last - first + 1;
  state.counters["max abserr"] = worst;
  state.counters["not converged"] = missed;
}

BENCHMARK_CAPTURE(all_pairs, typical_240_60_60, Stated{240, 60, 60, 1.0, 0.5, 0.3})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(all_pairs, large_800_200_100, Stated{800, 200, 100, 0.8, 0.4, 0.5})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(all_pairs, largest_24000_6000_3000, Stated{24000, 6000, 3000, 0.8, 0.4, 0.5})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
