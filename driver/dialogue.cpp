#include "driver/dialogue.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "io/format.h"
#include "io/io_error.h"
#include "model/normal.h"

namespace tarven::driver {
namespace {

constexpr int kConsoleInputUnit = 5;

void say(io::OutputUnit& console, std::string_view text) {
  console.put(io::free_form(text));
}

// The reader's contract: anything it cannot read ends the run.
void read_or_stop(io::ListReader& reader, std::span<const io::ListItem> items) {
  if (auto error = reader.read_list(items)) {
    io::io_error_stop(*error, io::UnitState{kConsoleInputUnit, ""}, io::kListFormat, false);
  }
}

std::int64_t ask_integer(io::ListReader& reader, io::OutputUnit& console, std::string_view prompt,
                         std::int64_t low, std::int64_t high, const std::string& allowed) {
  for (;;) {
    say(console, prompt);
    // A null answer keeps this value, which no range admits, so it is asked again.
    std::int64_t value = std::numeric_limits<std::int64_t>::min();
    const std::array<io::ListItem, 1> items{&value};
    read_or_stop(reader, items);
    if (value >= low && value <= high) return value;
    say(console, allowed);
  }
}

std::string range_text(std::int64_t low, std::int64_t high) {
  return std::to_string(low) + " to " + std::to_string(high);
}

// A group's pre-screened density divides by its retained share 1 - phid(cutoff - rho*mean); a share
// that is 0 in double precision would make every density of that group infinite or NaN.
enum class Retention { kBothGroups, kNoMinority, kNoMajority };

Retention retained_groups(double es, double rho, double retention) {
  int ifault = 0;
  const double zcut = model::ppnd(1.0 - retention, ifault);
  if (ifault != 0 || !(1.0 - model::phid(zcut) > 0.0)) return Retention::kNoMinority;
  if (!(1.0 - model::phid(zcut - rho * es) > 0.0)) return Retention::kNoMajority;
  return Retention::kBothGroups;
}

}  // namespace

Problem ask_problem(io::ListReader& reader, io::OutputUnit& console) {
  constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
  Problem p;
  p.ntot = static_cast<int>(
      ask_integer(reader, console, "Total number of applicants?", 2, kIntMax,
                  "The total number of applicants must be from " + range_text(2, kIntMax) + "."));
  p.nmaj = static_cast<int>(
      ask_integer(reader, console, "Number of applicants from the majority group?", 1, p.ntot - 1,
                  "The majority group must have from " + range_text(1, p.ntot - 1) +
                      " applicants, so that both groups have applicants."));
  p.nmin = p.ntot - p.nmaj;
  p.nsel = static_cast<int>(
      ask_integer(reader, console, "Required number of new employees?", 1, p.ntot,
                  "The number of new employees must be from " + range_text(1, p.ntot) + "."));

  for (;;) {
    say(console, "Effect size predictor composite?");
    double es = std::numeric_limits<double>::quiet_NaN();
    const std::array<io::ListItem, 1> items{&es};
    read_or_stop(reader, items);
    if (std::isfinite(es)) {
      p.es = es;
      break;
    }
    say(console, "The effect size must be a finite number.");
  }

  for (;;) {
    say(console, "Correlation predictor--recruitment practice");
    say(console, "and retention rate recruitment practice?");
    double rho = std::numeric_limits<double>::quiet_NaN();
    double retention = std::numeric_limits<double>::quiet_NaN();
    const std::array<io::ListItem, 2> items{&rho, &retention};
    read_or_stop(reader, items);
    if (!(rho > -1.0 && rho < 1.0 && retention > 0.0 && retention < 1.0)) {
      say(console,
          "The correlation must lie strictly between -1 and 1 and the retention rate strictly "
          "between 0 and 1.");
      continue;
    }
    const Retention retained = retained_groups(p.es, rho, retention);
    if (retained == Retention::kNoMinority) {
      say(console,
          "The retention rate is too small to compute with: the pre-screening would retain no "
          "applicant; please give other values.");
      continue;
    }
    if (retained == Retention::kNoMajority) {
      say(console,
          "With this effect size, correlation and retention rate the pre-screening would retain no "
          "majority applicant; please give other values.");
      continue;
    }
    p.rho = rho;
    p.retention = retention;
    return p;
  }
}

void ask_exit(io::ListReader& reader, io::OutputUnit& console) {
  for (;;) {
    say(console, "Ready to exit (Answer with y or n)?");
    io::FixedText answer{std::string(1, ' '), 1};
    const std::array<io::ListItem, 1> items{&answer};
    read_or_stop(reader, items);
    if (answer.value[0] == 'y') return;
  }
}

}  // namespace tarven::driver
