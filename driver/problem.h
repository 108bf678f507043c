#pragma once

namespace tarven::driver {

// One problem as the user states it, with the cutoff derived from the retention rate.
struct Problem {
  int ntot = 0;
  int nmaj = 0;
  int nmin = 0;  // ntot - nmaj
  int nsel = 0;
  double es = 0.0;
  double rho = 0.0;
  double retention = 0.0;
  double zcut = 0.0;
};

// A problem as the dialogue would accept it, with its cutoff, for callers that state problems
// directly (tests, benchmarks). The cutoff of a retention rate outside (0, 1) is 0.
Problem make_problem(int ntot, int nmaj, int nsel, double es, double rho, double retention);

}  // namespace tarven::driver
