#pragma once

// The sampling distribution of the adverse impact ratio: one row per feasible split of the hires,
// from the fewest minority hires (jlow) to the most (min(nsel, nmin)), built from the cumulative
// probabilities of the enumeration.

#include <vector>

#include "driver/enumeration.h"
#include "io/output_unit.h"

namespace tarven::driver {

// Impact ratio of a split without majority hires, where the ratio is not defined. A defined ratio
// is never negative, so the value cannot be mistaken for one.
inline constexpr double kUndefinedRatio = -1.0;

// Row r (1-based) is element r - 1 of every vector; all vectors have nrow elements.
struct Distribution {
  int nrow = 0;
  std::vector<double> prob;  // the cumulative table closed with prob[nrow-1] = 1
  std::vector<double> pvs;   // probability of the split
  std::vector<double> pvsc;  // running sum of pvs in row order (not a copy of prob)
  std::vector<double> sr1;   // majority selection rate nx / nmaj
  std::vector<double> sr2;   // minority selection rate ny / nmin
  std::vector<double> ai;    // sr2 / sr1, or kUndefinedRatio
  std::vector<int> ny;       // minority hires (N2)
  std::vector<int> nx;       // majority hires (N1)
};

// Builds every row; writes nothing. The enumeration must have completed (not abandoned).
Distribution build_distribution(const Enumeration& enumeration, int nmaj, int nmin, int nsel);

// Writes the table to the report (formats 244 and 250, then the rows that carry noticeable
// probability, format 200) and one console line (format 666) per clearly negative point
// probability, the console lines after the table head and before the rows.
void write_distribution(const Distribution& d, io::OutputUnit& report, io::OutputUnit& console);

}  // namespace tarven::driver
