#include "driver/problem.h"

#include "model/normal.h"

namespace tarven::driver {

Problem make_problem(int ntot, int nmaj, int nsel, double es, double rho, double retention) {
  Problem p;
  p.ntot = ntot;
  p.nmaj = nmaj;
  p.nmin = ntot - nmaj;
  p.nsel = nsel;
  p.es = es;
  p.rho = rho;
  p.retention = retention;
  int ifault = 0;
  p.zcut = model::ppnd(1.0 - retention, ifault);
  return p;
}

}  // namespace tarven::driver
