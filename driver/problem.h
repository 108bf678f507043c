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

}  // namespace tarven::driver
