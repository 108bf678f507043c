// The larger rungs of the ladder of groups of thousands, too slow for the tests: the nested
// evaluation (the dialogue's fast preset) timed beside the single-integral engine, and checked
// against it: every integrated pair value within 1e-8, no pair flagged by the nested engine's own
// check. The benchmark fails if a rung disagrees.
//
//   nested_ladder_bench [--rungs=5000,15000,30000] [Google Benchmark flags]

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "bench/bench_support.h"
#include "tarven/evaluate.h"

namespace {

struct Rung {
  const char* name;
  int ntot, nmaj, nsel;
  double d, rho, retention;
};

// 80 % majority, 10 % hired, strong pre-screening on the first two.
constexpr Rung kRungs[] = {
    {"5000", 5000, 4000, 500, 0.3, 0.9, 0.05},
    {"15000", 15000, 12000, 1500, 0.8, 0.9, 0.05},
    {"30000", 30000, 24000, 3000, 0.8, 0.4, 0.5},
};

void bench_rung(benchmark::State& state, const Rung& r) {
  const tarven::Problem p = std::get<tarven::Problem>(
      tarven::Problem::make(r.ntot, r.nmaj, r.nsel, r.d, r.rho, r.retention));
  tarven::Options single = tarven::Options::nested();
  single.engine = tarven::Engine::kSingle;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const tarven::Result nested = tarven::evaluate(p);
    const auto t1 = std::chrono::steady_clock::now();
    const tarven::Result exact = tarven::evaluate(p, single);
    const auto t2 = std::chrono::steady_clock::now();
    double worst = 0.0;
    int accepted = 0;
    for (const tarven::PairResult& pair : nested.pairs) {
      if (pair.outcome != tarven::PairOutcome::kAccepted) continue;
      worst = std::max(
          worst,
          std::fabs(pair.value - exact.pairs.at(static_cast<std::size_t>(pair.k) - 1).value));
      ++accepted;
    }
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    state.counters["nested s"] = std::chrono::duration<double>(t1 - t0).count();
    state.counters["single s"] = std::chrono::duration<double>(t2 - t1).count();
    state.counters["worst pair difference"] = worst;
    state.counters["accepted pairs"] = accepted;
    if (nested.status != tarven::Status::kOk || worst > 1e-8 || !nested.discrepancies.empty()) {
      std::fprintf(stderr, "FAILED: rung %s: status %d, worst pair difference %g, %zu flagged\n",
                   r.name, static_cast<int>(nested.status), worst, nested.discrepancies.size());
      std::exit(1);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string wanted = "5000,15000";
  std::vector<char*> rest;
  for (int a = 0; a < argc; ++a) {
    if (std::strncmp(argv[a], "--rungs=", 8) == 0)
      wanted = argv[a] + 8;
    else
      rest.push_back(argv[a]);
  }
  int rest_count = static_cast<int>(rest.size());
  benchmark::Initialize(&rest_count, rest.data());
  for (const Rung& r : kRungs) {
    if (!tarven::bench::listed(wanted, r.name)) continue;
    benchmark::RegisterBenchmark(r.name, [&r](benchmark::State& s) { bench_rung(s, r); })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
