#include "console/dialogue.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <variant>

#include "console/format.h"
#include "console/io_error.h"

namespace tarven::console {
namespace {

constexpr int kConsoleInputUnit = 5;

void say(OutputUnit& console, std::string_view text) {
  console.put(free_form(text));
}

// The reader's contract: anything it cannot read ends the run.
void read_or_stop(ListReader& reader, std::span<const ListItem> items) {
  if (auto error = reader.read_list(items)) {
    io_error_stop(*error, UnitState{kConsoleInputUnit, ""}, kListFormat, false);
  }
}

using IntegerCheck = std::function<std::optional<ProblemError>(std::int64_t)>;

std::int64_t ask_integer(ListReader& reader, OutputUnit& console, std::string_view prompt,
                         const IntegerCheck& check, const std::string& allowed) {
  for (;;) {
    say(console, prompt);
    // A null answer keeps this value, which no range admits, so it is asked again.
    std::int64_t value = std::numeric_limits<std::int64_t>::min();
    const std::array<ListItem, 1> items{&value};
    read_or_stop(reader, items);
    if (!check(value)) return value;
    say(console, allowed);
  }
}

std::string range_text(std::int64_t low, std::int64_t high) {
  return std::to_string(low) + " to " + std::to_string(high);
}

// A limit as a person writes it: 0.000001, not 1e-06.
std::string number_text(double v) {
  std::array<char, 32> buffer;
  const auto [end, ec] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), v, std::chars_format::fixed);
  return ec == std::errc() ? std::string(buffer.data(), end) : std::string("?");
}

std::string between_text(double low, double high) {
  return number_text(low) + " and " + number_text(high);
}

}  // namespace

Problem ask_problem(ListReader& reader, OutputUnit& console) {
  const std::int64_t ntot = ask_integer(
      reader, console, "Total number of applicants?",
      [](std::int64_t v) { return check_n_total(v); },
      "The total number of applicants must be from " + range_text(2, kMaxTotal) + ".");
  const std::int64_t nmaj = ask_integer(
      reader, console, "Number of applicants from the majority group?",
      [&](std::int64_t v) { return check_n_majority(ntot, v); },
      "The majority group must have from " + range_text(1, ntot - 1) +
          " applicants, so that both groups have applicants.");
  const std::int64_t nsel = ask_integer(
      reader, console, "Required number of new employees?",
      [&](std::int64_t v) { return check_n_hired(ntot, v); },
      "The number of new employees must be from " + range_text(1, ntot) + ".");

  double es = 0.0;
  for (;;) {
    say(console, "Effect size predictor composite?");
    es = std::numeric_limits<double>::quiet_NaN();
    const std::array<ListItem, 1> items{&es};
    read_or_stop(reader, items);
    if (!check_d(es)) break;
    say(console, std::isfinite(es)
                     ? "The effect size must lie between " + between_text(-kMaxAbsD, kMaxAbsD) + "."
                     : std::string("The effect size must be a finite number."));
  }

  for (;;) {
    say(console, "Correlation predictor--recruitment practice");
    say(console, "and retention rate recruitment practice?");
    double rho = std::numeric_limits<double>::quiet_NaN();
    double retention = std::numeric_limits<double>::quiet_NaN();
    const std::array<ListItem, 2> items{&rho, &retention};
    read_or_stop(reader, items);
    // Not a correlation or not a share at all: the one line that has always said so. Inside those
    // bounds but beyond what can be computed: a line for each value refused.
    if (!(rho > -1.0 && rho < 1.0) || !(retention > 0.0 && retention < 1.0)) {
      say(console,
          "The correlation must lie strictly between -1 and 1 and the retention rate strictly "
          "between 0 and 1.");
      continue;
    }
    const bool rho_refused = check_rho(rho).has_value();
    const bool retention_refused = check_retention(retention).has_value();
    if (rho_refused) {
      say(console,
          "The correlation must lie between " + between_text(-kMaxAbsRho, kMaxAbsRho) + ".");
    }
    if (retention_refused) {
      say(console, "The retention rate must lie between " +
                       between_text(kMinRetention, kMaxRetention) + ".");
    }
    if (rho_refused || retention_refused) continue;
    if (auto error = check_screening(es, rho, retention)) {
      if (error->fault == ProblemFault::kNothingRetained)
        say(console,
            "The retention rate is too small to compute with: the pre-screening would retain no "
            "applicant; please give other values.");
      else
        say(console,
            "With this effect size, correlation and retention rate the pre-screening would retain "
            "no majority applicant; please give other values.");
      continue;
    }
    // Every field has passed its check, so the problem is made.
    return std::get<Problem>(Problem::make(ntot, nmaj, nsel, es, rho, retention));
  }
}

void ask_exit(ListReader& reader, OutputUnit& console) {
  for (;;) {
    say(console, "Ready to exit (Answer with y or n)?");
    FixedText answer{std::string(1, ' '), 1};
    const std::array<ListItem, 1> items{&answer};
    read_or_stop(reader, items);
    if (answer.value[0] == 'y') return;
  }
}

}  // namespace tarven::console
