#include "model/population.h"

#include <cmath>

#include "model/normal.h"

namespace tarven::model {

double start_up_rsq2pi() {
  return 1.0 / std::sqrt(6.283185307179586);
}

Population make_population(double es, double rho, double zcut, int nmaj, int nmin, int nsel,
                           bool keep_constants) {
  Population p;
  p.rsq2pi = start_up_rsq2pi();
  p.es = es;
  p.rho = rho;
  p.zcut = zcut;
  p.nmaj = nmaj;
  p.nmin = nmin;
  p.nsel = nsel;
  p.keep_constants = keep_constants;
  // The same operations, in the same order, as phide_unhoisted performs on every call.
  p.root = std::sqrt(1.0 - rho * rho);
  p.cut[0] = zcut - 0.0;
  p.cut[1] = zcut - rho * es;
  p.tail[0] = 1.0 - phid(p.cut[0]);
  p.tail[1] = 1.0 - phid(p.cut[1]);
  return p;
}

}  // namespace tarven::model
