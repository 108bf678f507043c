// Times the straightforward evaluation against the fast one (remembered distribution values, on one
// thread and on every core) and against the single-integral engine (one thread, every core), on
// the typical run, two large problems and one the nested engine cannot do. The modes run in turn,
// round after round, so that a slow spell of the machine hits all of them alike; the medians and
// their ratios to the straightforward evaluation are printed at the end. Every fast nested run must
// print exactly what the serial run printed, and the single-integral engine must print the same on
// one thread as on every core, or the benchmark fails.
//
//   evaluation_bench [--rounds=N] [--problems=typical,large,largest,huge] [Google Benchmark flags]

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include "bench/bench_support.h"
#include "console/report_body.h"

namespace {

using tarven::Options;
using tarven::Problem;

Problem make_problem(int ntot, int nmaj, int nsel, double es, double rho, double retention) {
  return std::get<Problem>(Problem::make(ntot, nmaj, nsel, es, rho, retention));
}

class TextUnit : public tarven::console::OutputUnit {
 public:
  void put(std::string_view text) override { text_ += text; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

struct NamedProblem {
  const char* name;
  Problem problem;
  bool nested;  // small enough for the nested engine
};

struct Mode {
  const char* name;
  Options options;
  int same_as;  // the mode whose output this one must repeat (itself when none)
};

constexpr std::size_t kModes = 5;

std::vector<Mode> modes() {
  Options fast_one = Options::nested();
  fast_one.threads = 1;
  Options single_one = Options::nested();
  single_one.engine = tarven::Engine::kSingle;
  single_one.threads = 1;
  Options single_all = single_one;
  single_all.threads = 0;
  // The reference preset: one thread, nothing remembered, every constant recomputed.
  return {{"serial", Options::nested_straightforward(), 0},
          {"fast, 1 thread", fast_one, 0},
          {"fast, all cores", Options::nested(), 0},
          {"single, 1 thread", single_one, 3},
          {"single, all cores", single_all, 3}};
}

struct Run {
  double seconds;
  std::string console;
  std::string report;
};

Run timed_run(const Problem& p, const Options& options) {
  const tarven::console::DateTime start{2024, 1, 1, 0, 0, 0};
  TextUnit console;
  TextUnit report;
  TextUnit messages;
  const auto t0 = std::chrono::steady_clock::now();
  tarven::console::write_report_body(p, start, options, console, report, messages);
  const auto t1 = std::chrono::steady_clock::now();
  return Run{std::chrono::duration<double>(t1 - t0).count(), console.text() + messages.text(),
             report.text()};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

struct Summary {
  std::string problem;
  std::vector<double> medians;  // per mode; NaN for a mode not run
};
std::vector<Summary> g_summaries;

// One benchmark iteration is one round: every mode once, in turn.
void bench_problem(benchmark::State& state, const NamedProblem& named) {
  const std::vector<Mode> all = modes();
  std::vector<std::vector<double>> times(all.size());
  for (auto _ : state) {
    std::vector<Run> runs(all.size());
    for (std::size_t m = 0; m < all.size(); ++m) {
      if (all[m].options.engine == tarven::Engine::kNested && !named.nested) continue;
      runs[m] = timed_run(named.problem, all[m].options);
      times[m].push_back(runs[m].seconds);
      const Run& model = runs[static_cast<std::size_t>(all[m].same_as)];
      if (runs[m].console != model.console || runs[m].report != model.report) {
        std::fprintf(stderr,
                     "FAILED: %s: the %s evaluation printed something else than the %s one\n",
                     named.name, all[m].name, all[static_cast<std::size_t>(all[m].same_as)].name);
        std::exit(1);
      }
    }
    state.SetIterationTime(times[kModes - 1].back());
  }
  Summary summary{named.name, {}};
  for (std::size_t m = 0; m < all.size(); ++m) {
    summary.medians.push_back(times[m].empty() ? std::nan("") : median(times[m]));
    if (!times[m].empty()) state.counters[std::string(all[m].name) + " s"] = summary.medians.back();
  }
  g_summaries.push_back(summary);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 3;
  std::string wanted = "typical,large,largest,huge";
  std::vector<char*> rest;
  for (int a = 0; a < argc; ++a) {
    if (std::strncmp(argv[a], "--rounds=", 9) == 0)
      rounds = std::max(1, std::atoi(argv[a] + 9));
    else if (std::strncmp(argv[a], "--problems=", 11) == 0)
      wanted = argv[a] + 11;
    else
      rest.push_back(argv[a]);
  }
  int rest_count = static_cast<int>(rest.size());
  benchmark::Initialize(&rest_count, rest.data());

  static const std::vector<NamedProblem> problems = {
      {"typical", make_problem(10, 7, 4, 0.5, 0.3, 0.6), true},
      {"large", make_problem(300, 240, 60, 1.0, 0.5, 0.3), true},
      {"largest", make_problem(1000, 800, 100, 0.8, 0.4, 0.5), true},
      {"huge", make_problem(30000, 24000, 3000, 0.8, 0.4, 0.5), false},
  };
  for (const NamedProblem& p : problems) {
    if (!tarven::bench::listed(wanted, p.name)) continue;
    // The cheap runs get more rounds, for a steadier median.
    const int n = p.name == std::string_view("typical") || !p.nested ? rounds * 5 : rounds;
    benchmark::RegisterBenchmark(p.name, [&p](benchmark::State& s) { bench_problem(s, p); })
        ->Iterations(n)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf(
      "\nMedians over the rounds in seconds (%u hardware threads), and how many times faster"
      " than the serial evaluation:\n",
      std::thread::hardware_concurrency());
  const std::vector<Mode> all = modes();
  std::printf("%-8s", "problem");
  for (const Mode& m : all) std::printf(" %18s", m.name);
  std::printf("\n");
  for (const Summary& s : g_summaries) {
    std::printf("%-8s", s.problem.c_str());
    for (const double t : s.medians) {
      if (std::isnan(t)) {
        std::printf(" %18s", "-");
      } else if (std::isnan(s.medians[0])) {
        std::printf(" %17.4fs", t);
      } else {
        char cell[64];
        std::snprintf(cell, sizeof cell, "%.4fs (%.0fx)", t, s.medians[0] / t);
        std::printf(" %18s", cell);
      }
    }
    std::printf("\n");
  }
  return 0;
}
