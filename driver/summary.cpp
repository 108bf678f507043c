#include "driver/summary.h"

#include <cstddef>

#include "io/formats.h"

namespace tarven::driver {

Summary summarize(const Distribution& d) {
  Summary s;
  const auto nrow = static_cast<std::size_t>(d.nrow);

  double weighted_ai = 0.0;
  for (std::size_t r = 0; r < nrow; ++r) {
    if (d.nx[r] != 0) s.pfin += d.pvs[r];
    s.esra += d.pvs[r] * d.sr1[r];
    s.esri += d.pvs[r] * d.sr2[r];
    if (d.ai[r] != kUndefinedRatio) weighted_ai += d.pvs[r] * d.ai[r];
  }

  // The rows are in increasing order of the ratio, so the first row whose cumulative probability
  // reaches the level holds the smallest ratio that does. The cumulative column ends at 1 up to
  // rounding, so every level is reached; should rounding ever leave the top level short, the
  // largest split is the honest answer rather than an unset value.
  for (std::size_t l = 0; l < kPercentileLevels.size(); ++l) {
    const double level = kPercentileLevels[l];
    std::size_t r = 0;
    while (r + 1 < nrow && !(100.0 * d.pvsc[r] >= level)) ++r;
    s.perc[l] = d.ai[r];
  }

  // Without probability on any split with a majority hire the expected ratio has no value. It is
  // then shown as -1.000, the marker the table's legend already explains as "not defined". A
  // negative total can only come from integration noise and is no better a divisor than zero.
  if (s.pfin > 0.0) {
    s.eai = weighted_ai / s.pfin;
  } else {
    s.eai = kUndefinedRatio;
    s.ai_defined = false;
  }
  return s;
}

void write_summary(const Summary& s, io::OutputUnit& report) {
  const auto& p = s.perc;
  io::write(report, io::kFormat240,
            {s.esra, s.esri, s.eai, p[0], p[1], p[2], p[3], p[4], p[5], p[6]});
}

}  // namespace tarven::driver
