#include "driver/distribution.h"

#include <algorithm>
#include <cstddef>

#include "io/formats.h"

namespace tarven::driver {

namespace {

// Smallest point probability shown in the table (the table prints four decimals).
constexpr double kPrintThreshold = 0.00001;
// A difference of cumulative values below zero by more than this is more than integration noise.
constexpr double kNegativeTolerance = -0.00005;

}  // namespace

Distribution build_distribution(const Enumeration& enumeration, int nmaj, int nmin, int nsel) {
  Distribution d;
  d.nrow = enumeration.npair + 1;
  const auto nrow = static_cast<std::size_t>(d.nrow);
  d.prob.assign(nrow, 0.0);
  std::copy_n(enumeration.prob.begin(), std::min(enumeration.prob.size(), nrow - 1),
              d.prob.begin());
  d.prob[nrow - 1] = 1.0;  // at most min(nsel, nmin) minority hires is certain
  d.pvs.assign(nrow, 0.0);
  d.pvsc.assign(nrow, 0.0);
  d.sr1.assign(nrow, 0.0);
  d.sr2.assign(nrow, 0.0);
  d.ai.assign(nrow, 0.0);
  d.ny.assign(nrow, 0);
  d.nx.assign(nrow, 0);

  const double majority = nmaj;
  const double minority = nmin;

  // The first row always has a majority hire (nsel >= 1, nmaj >= 1), so its ratio is defined.
  d.ny[0] = enumeration.jlow;
  d.nx[0] = nsel - enumeration.jlow;
  d.pvs[0] = d.prob[0];
  d.pvsc[0] = d.prob[0];
  d.sr1[0] = d.nx[0] / majority;
  d.sr2[0] = d.ny[0] / minority;
  d.ai[0] = d.sr2[0] / d.sr1[0];

  for (std::size_t r = 1; r < nrow; ++r) {
    d.pvs[r] = d.prob[r] - d.prob[r - 1];
    d.pvsc[r] = d.pvsc[r - 1] + d.pvs[r];
    d.ny[r] = d.ny[r - 1] + 1;
    d.nx[r] = d.nx[r - 1] - 1;
    d.sr1[r] = d.nx[r] / majority;
    d.sr2[r] = d.ny[r] / minority;
    d.ai[r] = d.sr1[r] != 0.0 ? d.sr2[r] / d.sr1[r] : kUndefinedRatio;
  }
  return d;
}

void write_distribution(const Distribution& d, io::OutputUnit& report, io::OutputUnit& console) {
  const auto nrow = static_cast<std::size_t>(d.nrow);
  io::write(report, io::kFormat244, {});
  io::write(report, io::kFormat250, {});

  // A negative point probability stays in the table and in every later cumulative value; the
  // console line only points at it. The index shown is the 1-based number of the row before it.
  for (std::size_t r = 1; r < nrow; ++r) {
    if (d.pvs[r] < kNegativeTolerance) {
      io::write(console, io::kFormat666, {static_cast<int>(r), d.prob[r - 1], d.prob[r]});
    }
  }

  // Rows below the threshold keep their place in the sums and in CProb; they are only not shown.
  // Once the cumulative value has reached 1, what follows is integration noise, except a last row
  // without majority hires, which is shown whenever its probability is noticeable.
  for (std::size_t r = 0; r < nrow; ++r) {
    const bool noticeable = d.pvs[r] >= kPrintThreshold;
    const bool printed =
        noticeable && (r == 0 || d.pvsc[r - 1] < 1.0 || d.ai[r] == kUndefinedRatio);
    if (printed) {
      io::write(report, io::kFormat200Row, {d.ai[r], d.pvs[r], d.pvsc[r], d.ny[r], d.nx[r]});
    }
  }
}

}  // namespace tarven::driver
