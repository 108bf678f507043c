// Times the slowest corners of the accepted range with the console's fast preset, each rendered as
// the console program renders it (console lines formatted and counted, then dropped), and prints
// what each corner costs and why: how many outer integrations it made (retries included, saturated
// pairs not), how many integration diagnostics it raised, and how it ended.
//
//   corners_bench [--corners=name,name,...] [Google Benchmark flags]
//
// Without --corners every corner runs but "half-hired", which was still running after 16 minutes
// (383,000 of its 500,000 pairs); name it to run it.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include "bench/bench_support.h"
#include "console/report_body.h"

namespace {

using tarven::Problem;
using tarven::Result;
using tarven::Status;

// Counts what it is given and keeps nothing: a corner may print millions of diagnostic lines.
class CountingUnit final : public tarven::console::OutputUnit {
 public:
  void put(std::string_view text) override { bytes_ += text.size(); }
  std::size_t bytes() const { return bytes_; }

 private:
  std::size_t bytes_ = 0;
};

struct Corner {
  const char* name;
  const char* why;
  int ntot, nmaj, nsel;
  double es, rho, retention;
  bool by_default = true;
};

// The corners, found by scanning the edges of the accepted range (counts up to 1,000,000, |es| up
// to 10, |rho| up to 0.999, retention from 1e-6 to 1 - 1e-6).
const std::vector<Corner> kCorners = {
    {"typical", "for scale", 10, 7, 4, 0.5, 0.3, 0.6},
    {"rho-0.99-retention-1e-6", "smallest retention, rho 0.99", 10, 7, 4, 0.5, 0.99, 1e-6},
    {"rho-0.999-retention-1e-6", "smallest retention, largest rho", 10, 7, 4, 0.5, 0.999, 1e-6},
    {"rho--0.999-retention-1e-6", "smallest retention, smallest rho", 10, 7, 4, 0.5, -0.999, 1e-6},
    {"es-10-rho-0.999-retention-1e-6", "largest es, largest rho, smallest retention", 10, 7, 4,
     10.0, 0.999, 1e-6},
    {"ntot-1e6-one-hire", "largest ntot, one hire from halved groups", 1000000, 500000, 1, 0.5, 0.3,
     0.6},
    {"ntot-1e6-one-minority", "largest ntot, one minority applicant", 1000000, 999999, 1, 0.5, 0.3,
     0.6},
    {"ntot-1e6-one-majority", "largest ntot, one majority applicant", 1000000, 1, 1, 0.5, 0.3, 0.6},
    {"ntot-1e6-hired-1000", "largest ntot, a tiny share hired", 1000000, 500000, 1000, 0.5, 0.3,
     0.6},
    {"ntot-1e6-hired-10000", "largest ntot, 1% hired: more values than the memo holds", 1000000,
     500000, 10000, 0.5, 0.3, 0.6},
    {"retention-1e-6-rho-0.8-es-3", "majority retained near the window's edge: retried, abandoned",
     10, 7, 4, 3.0, 0.8, 1e-6},
    {"retention-1e-6-rho-0.8-es-3-n1000", "the same, 1,000 applicants", 1000, 700, 400, 3.0, 0.8,
     1e-6},
    {"ntot-20000-half-hired", "half hired: thousands of pairs in the bulk", 20000, 10000, 10000,
     0.5, 0.3, 0.6},
    {"half-hired", "largest ntot, half of them hired", 1000000, 500000, 500000, 0.5, 0.3, 0.6,
     false},
};

const char* status_name(Status s) {
  switch (s) {
    case Status::kOk:
      return "complete";
    case Status::kAbandoned:
      return "abandoned";
    case Status::kNumericalStop:
      return "library stop";
    case Status::kOutOfMemory:
      return "out of memory";
    case Status::kCancelled:
      return "cancelled";
    case Status::kUnavailable:
      return "engine not built";
  }
  return "?";
}

struct Measured {
  const Corner* corner;
  double seconds;
  std::size_t attempts;
  std::size_t diagnostics;
  std::size_t console_bytes;
  Status status;
};
std::vector<Measured> g_measured;

void bench_corner(benchmark::State& state, const Corner& c) {
  const Problem problem =
      std::get<Problem>(Problem::make(c.ntot, c.nmaj, c.nsel, c.es, c.rho, c.retention));
  const tarven::console::DateTime start{2024, 1, 1, 0, 0, 0};
  Measured m{&c, 0.0, 0, 0, 0, Status::kOk};
  for (auto _ : state) {
    CountingUnit console, report, messages;
    const auto t0 = std::chrono::steady_clock::now();
    const Result r = tarven::console::write_report_body(problem, start, tarven::Options::nested(),
                                                        console, report, messages);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(seconds);
    const auto integrated = std::count_if(r.pairs.begin(), r.pairs.end(), [](const auto& p) {
      return p.outcome != tarven::PairOutcome::kSaturated;
    });
    m = Measured{&c,
                 std::max(m.seconds, seconds),
                 static_cast<std::size_t>(integrated),
                 r.diagnostics.size(),
                 console.bytes() + messages.bytes(),
                 r.status};
  }
  state.counters["attempts"] = static_cast<double>(m.attempts);
  state.counters["diagnostics"] = static_cast<double>(m.diagnostics);
  // Repetitions run the corner again: keep its worst time.
  for (Measured& earlier : g_measured) {
    if (earlier.corner == &c) {
      earlier.seconds = std::max(earlier.seconds, m.seconds);
      return;
    }
  }
  g_measured.push_back(m);
}

}  // namespace

int main(int argc, char** argv) {
  std::string wanted;
  std::vector<char*> rest;
  for (int a = 0; a < argc; ++a) {
    if (std::strncmp(argv[a], "--corners=", 10) == 0)
      wanted = argv[a] + 10;
    else
      rest.push_back(argv[a]);
  }
  int rest_count = static_cast<int>(rest.size());
  benchmark::Initialize(&rest_count, rest.data());

  for (const Corner& c : kCorners) {
    if (wanted.empty() ? !c.by_default : !tarven::bench::listed(wanted, c.name)) continue;
    benchmark::RegisterBenchmark(c.name, [&c](benchmark::State& s) { bench_corner(s, c); })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::sort(g_measured.begin(), g_measured.end(),
            [](const Measured& a, const Measured& b) { return a.seconds > b.seconds; });
  std::printf("\nSlowest first (%u hardware threads, fast preset; worst of the repetitions):\n",
              std::thread::hardware_concurrency());
  std::printf("%-36s %9s %9s %12s %11s  %-13s %s\n", "corner", "seconds", "attempts", "diagnostics",
              "console MB", "ended", "why a corner");
  for (const Measured& m : g_measured)
    std::printf("%-36s %9.2f %9zu %12zu %11.1f  %-13s %s\n", m.corner->name, m.seconds, m.attempts,
                m.diagnostics, static_cast<double>(m.console_bytes) / 1e6, status_name(m.status),
                m.corner->why);
  return 0;
}
