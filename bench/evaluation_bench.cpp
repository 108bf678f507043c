// Times the straightforward evaluation against the fast one (remembered distribution values, on one
// thread and on every core) on the typical run and on two large problems. The three run in turn,
// round after round, so that a slow spell of the machine hits all of them alike; the medians and
// their ratios are printed at the end. Every fast run must print exactly what the serial run
// printed, or the benchmark fails.
//
//   evaluation_bench [--rounds=N] [--problems=typical,large,largest] [Google Benchmark flags]

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

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
};

struct Mode {
  const char* name;
  Options options;
};

std::vector<Mode> modes() {
  Options fast_one = Options::fast();
  fast_one.threads = 1;
  // The reference preset: one thread, nothing remembered, every constant recomputed.
  return {{"serial", Options::reference()},
          {"fast, 1 thread", fast_one},
          {"fast, all cores", Options::fast()}};
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
  std::vector<double> medians;  // per mode
};
std::vector<Summary> g_summaries;

// One benchmark iteration is one round: every mode once, in turn.
void bench_problem(benchmark::State& state, const NamedProblem& named) {
  const std::vector<Mode> all = modes();
  std::vector<std::vector<double>> times(all.size());
  for (auto _ : state) {
    std::string console;
    std::string report;
    for (std::size_t m = 0; m < all.size(); ++m) {
      const Run run = timed_run(named.problem, all[m].options);
      times[m].push_back(run.seconds);
      if (m == 0) {
        console = run.console;
        report = run.report;
      } else if (run.console != console || run.report != report) {
        std::fprintf(stderr,
                     "FAILED: %s: the %s evaluation printed something else than the serial one\n",
                     named.name, all[m].name);
        std::exit(1);
      }
    }
    state.SetIterationTime(times.back().back());
  }
  Summary summary{named.name, {}};
  for (std::size_t m = 0; m < all.size(); ++m) {
    summary.medians.push_back(median(times[m]));
    state.counters[std::string(all[m].name) + " s"] = summary.medians.back();
  }
  state.counters["ratio 1 thread"] = summary.medians[0] / summary.medians[1];
  state.counters["ratio all cores"] = summary.medians[0] / summary.medians[2];
  g_summaries.push_back(summary);
}

// Whether `name` is one of the comma-separated names in `list`.
bool listed(std::string_view list, std::string_view name) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    if (list.substr(0, comma) == name) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 3;
  std::string wanted = "typical,large,largest";
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
      {"typical", make_problem(10, 7, 4, 0.5, 0.3, 0.6)},
      {"large", make_problem(300, 240, 60, 1.0, 0.5, 0.3)},
      {"largest", make_problem(1000, 800, 100, 0.8, 0.4, 0.5)},
  };
  for (const NamedProblem& p : problems) {
    if (!listed(wanted, p.name)) continue;
    // The cheap typical run gets more rounds, for a steadier median.
    const int n = p.name == std::string_view("typical") ? rounds * 5 : rounds;
    benchmark::RegisterBenchmark(p.name, [&p](benchmark::State& s) { bench_problem(s, p); })
        ->Iterations(n)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\nMedians over the rounds (%u hardware threads; outputs identical in every run):\n",
              std::thread::hardware_concurrency());
  std::printf("%-9s %12s %16s %17s %10s %10s\n", "problem", "serial s", "fast 1 thread s",
              "fast all cores s", "ratio 1", "ratio all");
  for (const Summary& s : g_summaries)
    std::printf("%-9s %12.3f %16.3f %17.3f %9.1fx %9.1fx\n", s.problem.c_str(), s.medians[0],
                s.medians[1], s.medians[2], s.medians[0] / s.medians[1],
                s.medians[0] / s.medians[2]);
  return 0;
}
