#include "console/report_body.h"

#include <cmath>
#include <cstddef>

#include "console/formats.h"
#include "console/library_messages.h"

namespace tarven::console {
namespace {

// Smallest point probability shown in the table (the table prints four decimals).
constexpr double kPrintThreshold = 0.00001;
// A difference of cumulative values below zero by more than this is more than integration noise.
constexpr double kNegativeTolerance = -0.00005;
// How the table and the summary show an impact ratio that is not defined.
constexpr double kUndefinedRatio = -1.0;

double shown(const std::optional<double>& ai) {
  return ai ? *ai : kUndefinedRatio;
}

// Renders the live events of the evaluation in the run's layouts.
class ConsoleObserver final : public Observer {
 public:
  ConsoleObserver(const Problem& problem, OutputUnit& console, OutputUnit& report,
                  OutputUnit& messages)
      : problem_(problem), console_(console), report_(report), messages_(messages) {}

  void group_means(const GroupMeans& integrated, const GroupMeans& closed_form) override {
    write(console_, kFormat4320, {integrated.minority, integrated.majority});
    write(console_, kFormat4320, {closed_form.minority, closed_form.majority});
    write(report_, kFormat5000, {});
    write(report_, kFormat5002,
          {problem_.n_total(), problem_.n_majority(), problem_.n_minority(), problem_.n_hired(),
           problem_.d(), problem_.rho(), problem_.retention(), problem_.cutoff()});
  }

  void window(double probability, const IntegrationWindow& used) override {
    if (used.moved) {
      write(console_, kFormatWindowMoved, {probability, used.low, used.high});
      write(report_, kFormatWindowMoved, {probability, used.low, used.high});
    }
  }

  void pairs_started(int /*npair*/) override {
    write(console_, kFormat456, {});
    write(console_, kFormat312, {});
  }

  void pair(const PairResult& p) override { write_pair(p, console_); }

  void diagnostic(const Diagnostic& d) override {
    // The library prints its message inside the integration, so it comes before our line.
    if (d.message_raised && !d.suppressed) messages_.put(library_message_text(d));
    if (d.stops) return;  // the library has ended the run there
    if (d.kind == DiagnosticKind::kDistribution) {
      write(console_, kFormat200Dist, {d.abscissa, d.ier, d.abserr});
    } else if (d.kind == DiagnosticKind::kInnerIntegral) {
      // Under "res" stands the error estimate, not the integral.
      write(console_, kFormat100Fun, {d.ier, d.abscissa, d.abserr, d.subintervals});
    }
  }

 private:
  const Problem& problem_;
  OutputUnit& console_;
  OutputUnit& report_;
  OutputUnit& messages_;
};

}  // namespace

Result write_report_body(const Problem& problem, const DateTime& start, const Options& options,
                         OutputUnit& console, OutputUnit& report, OutputUnit& messages) {
  write(report, kFormat3488,
        {start.day, start.month, start.year, start.hour, start.minute, start.second});
  ConsoleObserver observer(problem, console, report, messages);
  Result result = evaluate(problem, options, &observer);
  if (result.status == Status::kAbandoned) {
    const Abandonment& a = result.abandonment;
    write(console, kFormatAbandoned, {a.minority_hires, a.attempts});
    write(report, kFormatAbandoned, {a.minority_hires, a.attempts});
  } else if (result.status == Status::kOk) {
    write_distribution(result, report, console);
    for (const PairDiscrepancy& d : result.discrepancies) {
      for (OutputUnit* unit : {&console, &report})
        write(*unit, kFormatPairCheck, {d.k, d.i, d.j, d.nested, d.exact, d.difference});
    }
    write_summary(result, report);
  }
  return result;
}

void write_pair(const PairResult& p, OutputUnit& console) {
  if (p.outcome == PairOutcome::kSaturated) return;
  // The middle value is exp(lbeta1), the complete beta function B(nmaj - i + 1, i) itself, so the
  // line shows the normaliser both ways; it underflows to 0 for large groups, which is harmless on
  // a diagnostic line. The third value is the integral exactly as returned, even when it is not a
  // number, so a failing attempt can be seen.
  write(console, kFormat2221, {p.lbeta1, std::exp(p.lbeta1), p.value});
  if (p.outcome == PairOutcome::kAccepted || p.outcome == PairOutcome::kCapped)
    write(console, kFormat678, {p.k, p.i, p.j, p.stored, p.value});
}

void write_distribution(const Result& result, OutputUnit& report, OutputUnit& console) {
  const std::vector<DistributionRow>& rows = result.distribution;
  write(report, kFormat244, {});
  write(report, kFormat250, {});

  // A negative point probability stays in the table and in every later cumulative value; the
  // console line only points at it. The index shown is the 1-based number of the row before it.
  for (std::size_t r = 1; r < rows.size(); ++r) {
    if (rows[r].prob < kNegativeTolerance) {
      write(console, kFormat666, {static_cast<int>(r), rows[r - 1].p_at_most, rows[r].p_at_most});
    }
  }

  // Rows below the threshold keep their place in the sums and in CProb; they are only not shown.
  // Once the cumulative value has reached 1, what follows is integration noise, except a last row
  // without majority hires, which is shown whenever its probability is noticeable.
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const DistributionRow& row = rows[r];
    const bool noticeable = row.prob >= kPrintThreshold;
    const bool printed = noticeable && (r == 0 || rows[r - 1].cum_prob < 1.0 || !row.ai);
    if (printed) {
      write(report, kFormat200Row,
            {shown(row.ai), row.prob, row.cum_prob, row.n_minority_hired, row.n_majority_hired});
    }
  }
}

void write_summary(const Result& result, OutputUnit& report) {
  const auto& p = result.percentiles;
  // Without a defined ratio the expected ratio is shown as -1.000, the marker the table's legend
  // already explains as "not defined".
  write(
      report, kFormat240,
      {result.expected_sr_majority, result.expected_sr_minority, shown(result.expected_ai),
       shown(p[0]), shown(p[1]), shown(p[2]), shown(p[3]), shown(p[4]), shown(p[5]), shown(p[6])});
}

}  // namespace tarven::console
