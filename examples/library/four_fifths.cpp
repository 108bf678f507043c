// How often does the four-fifths rule flag a hiring process by chance, when the groups do not
// differ at all? The exact answer for a few applicant pools, from the installed library.

#include <tarven/tarven.h>

#include <cstdio>
#include <variant>
#include <vector>

int main() {
  std::printf("%8s %8s %14s\n", "n_total", "n_hired", "P(AI < 0.8)");
  for (const int n : {20, 50, 100, 200}) {
    const auto made = tarven::Problem::make(n, n * 4 / 5, n / 5, 0.0, 0.0, 0.5);
    if (const auto* error = std::get_if<tarven::ProblemError>(&made)) {
      std::fprintf(stderr, "%s\n", error->message().c_str());
      return 2;
    }
    const tarven::Problem& problem = std::get<tarven::Problem>(made);
    const tarven::Result result = tarven::evaluate(problem);
    if (result.status != tarven::Status::kOk) return 1;
    std::vector<tarven::Split> splits;
    for (const tarven::DistributionRow& row : result.distribution)
      splits.push_back({row.n_minority_hired, row.n_majority_hired, row.prob});
    tarven::RatesRequest request;
    request.n_majority = problem.n_majority();
    request.n_minority = problem.n_minority();
    request.n_hired = problem.n_hired();
    request.splits = splits;
    request.thresholds = {"0.8"};
    const auto rates = tarven::compute_rates(request);
    if (!rates.value) return 1;
    std::printf("%8d %8d %14.4f\n", n, problem.n_hired(), rates.value->thresholds[0].p_ai_lt);
  }
  return 0;
}
