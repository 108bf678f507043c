#include "model/prescreened_group.h"
#include "tarven/problem.h"
#include "tarven/rates.h"

namespace tarven {

Outcome<PopulationValues> population_values(const Problem& problem) {
  const model::PrescreenedGroup majority(
      model::GroupParameters{problem.d(), problem.rho(), problem.cutoff()});
  const model::PrescreenedGroup minority(
      model::GroupParameters{0.0, problem.rho(), problem.cutoff()});
  const double n = problem.n_total();
  return population_values(
      problem.n_majority() / n, problem.n_hired() / n, [&](double x) { return majority.sf(x); },
      [&](double x) { return minority.sf(x); });
}

}  // namespace tarven
