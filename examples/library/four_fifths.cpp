// How often does the four-fifths rule flag a hiring process by chance, when the groups do not
// differ at all? The exact answer for a few applicant pools, from the installed library.

#include <tarven/tarven.h>

#include <cstdio>
#include <variant>

int main() {
  std::printf("%8s %8s %14s %14s\n", "n_total", "n_hired", "P(AI < 0.8)", "P(Fisher sig.)");
  for (const int n : {20, 50, 100, 200}) {
    const auto made = tarven::Problem::make(n, n * 4 / 5, n / 5, 0.0, 0.0, 0.5);
    if (const auto* error = std::get_if<tarven::ProblemError>(&made)) {
      std::fprintf(stderr, "%s\n", error->message().c_str());
      return 2;
    }
    const tarven::Problem& problem = std::get<tarven::Problem>(made);
    const tarven::Analysis a = tarven::analyse(problem);
    if (a.status != tarven::AnalysisStatus::kOk) {
      std::fprintf(stderr, "%s: %s\n", tarven::status_name(a.status), a.message.c_str());
      return 1;
    }
    std::printf("%8d %8d %14.4f %14.4f\n", n, problem.n_hired(), a.rates.thresholds[0].p_ai_lt,
                a.rates.p_sig_fisher);
  }
  return 0;
}
