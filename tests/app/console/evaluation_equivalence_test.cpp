// The fast evaluation (remembered distribution values, pairs on several threads) must print exactly
// what the straightforward one prints: every console line, every report line, and every message of
// the numerical library on the standard error stream, in the same order.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "console/report_body.h"
#include "core/seams.h"
#include "numlib/messages.h"

namespace tarven::console {
namespace {

class LineUnit : public OutputUnit {
 public:
  void put(std::string_view text) override { text_ += text; }
  const std::string& text() const { return text_; }
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t nl = text_.find('\n'); nl != std::string::npos; nl = text_.find('\n', from)) {
      out.push_back(text_.substr(from, nl - from));
      from = nl + 1;
    }
    if (from < text_.size()) out.push_back(text_.substr(from));
    return out;
  }

 private:
  std::string text_;
};

Problem make_problem(int ntot, int nmaj, int nsel, double es, double rho, double retention) {
  return std::get<Problem>(Problem::make(ntot, nmaj, nsel, es, rho, retention));
}

struct Printed {
  std::vector<std::string> console;
  std::vector<std::string> report;
  std::string standard_error;
};

Printed print(const Problem& p, const Options& options) {
  const DateTime start{2024, 2, 29, 23, 59, 58};
  LineUnit console;
  LineUnit report;
  LineUnit messages;
  write_report_body(p, start, options, console, report, messages);
  return Printed{console.lines(), report.lines(), messages.text()};
}

Options options(int threads, bool memoise) {
  Options o = memoise ? Options::nested() : Options::nested_straightforward();
  o.threads = threads;
  return o;
}

struct Mode {
  int threads;
  const char* name;
};
const std::vector<Mode> kEveryFastMode = {
    {1, "memo"}, {2, "memo, 2 threads"}, {3, "memo, 3 threads"}};

// Runs the problem serially and in the fast modes; returns the serial output after requiring the
// others to be identical to it, line by line.
Printed expect_same_output(const Problem& p,
                           const std::function<double(int, double, double, double)>& adjust = {},
                           const std::vector<Mode>& modes = kEveryFastMode) {
  const core::ScopedSeams seams({.adjust_result = adjust});
  const Printed serial = print(p, options(1, false));
  for (const Mode& mode : modes) {
    SCOPED_TRACE(mode.name);
    const Printed fast = print(p, options(mode.threads, true));
    EXPECT_EQ(fast.console, serial.console);
    EXPECT_EQ(fast.report, serial.report);
    EXPECT_EQ(fast.standard_error, serial.standard_error);
  }
  return serial;
}

int count_starting(const std::vector<std::string>& lines, std::string_view prefix) {
  int n = 0;
  for (const std::string& line : lines) n += line.starts_with(prefix) ? 1 : 0;
  return n;
}

int count_occurrences(const std::string& text, std::string_view what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

constexpr std::string_view kAttemptLine = "LBETA BETA";

TEST(EvaluationEquivalence, TypicalRun) {
  const Printed serial = expect_same_output(make_problem(10, 7, 4, 0.5, 0.3, 0.6));
  EXPECT_EQ(count_starting(serial.console, kAttemptLine), 3);
  EXPECT_TRUE(serial.standard_error.empty());
}

TEST(EvaluationEquivalence, StrongPrescreeningWithIntegrationDiagnostics) {
  // The majority's distribution values end abnormally at many abscissae: dozens of console lines
  // between the pair lines, and more library messages than the library prints.
  const Printed serial = expect_same_output(make_problem(4, 2, 2, -3.0, 0.9, 0.02));
  EXPECT_GT(count_starting(serial.console, "Bound ier in dist"), 50);
  EXPECT_EQ(count_occurrences(serial.standard_error, "routine DQAGI"),
            numlib::kMaxPrintsPerMessage);
  EXPECT_EQ(count_starting(serial.console, kAttemptLine), 2);
}

TEST(EvaluationEquivalence, SinglePair) {
  // One pair: nothing to spread over threads, the fast evaluation runs it on the calling thread.
  const Printed serial = expect_same_output(make_problem(4, 2, 1, 0.5, 0.3, 0.6));
  EXPECT_EQ(count_starting(serial.console, kAttemptLine), 1);
}

TEST(EvaluationEquivalence, SaturatingProblem) {
  // Six pairs, the last three saturated: the threads work ahead on pairs that are never asked for.
  const Printed serial = expect_same_output(make_problem(12, 6, 6, 4.0, 0.0, 0.5));
  EXPECT_EQ(count_starting(serial.console, kAttemptLine), 3);
}

TEST(EvaluationEquivalence, InjectedRetriesAndCapping) {
  // Pair 1 first comes out above 1, pair 2 first falls below pair 1, pair 3 is a hair above 1:
  // two retries on narrower intervals, integrated for real, and a capped value.
  auto adjust = [](int k, double a, double /*b*/, double r) {
    const bool first = a == -6.5;
    if (k == 1 && first) return 1.5;
    if (k == 2 && first) return 0.0;
    if (k == 3 && first) return 1.00004;
    return r;
  };
  const Printed serial = expect_same_output(make_problem(10, 7, 4, 0.5, 0.3, 0.6), adjust);
  EXPECT_EQ(count_starting(serial.console, kAttemptLine), 5);
  EXPECT_EQ(count_starting(serial.console, "               3      6      1   1.00000"), 1);
}

TEST(EvaluationEquivalence, InjectedRetryWithIntegrationDiagnostics) {
  // The retry of pair 1 is integrated by the calling thread and prints its own diagnostics, which
  // must come before the replayed ones of pair 2 that a worker recorded meanwhile.
  auto adjust = [](int k, double a, double, double r) { return k == 1 && a == -6.5 ? 1.5 : r; };
  const Printed serial = expect_same_output(make_problem(4, 2, 2, -3.0, 0.9, 0.02), adjust);
  EXPECT_EQ(count_starting(serial.console, kAttemptLine), 3);
  // The retry (between the first and the second attempt line) does print diagnostics.
  std::vector<std::size_t> attempts;
  for (std::size_t n = 0; n < serial.console.size(); ++n)
    if (serial.console[n].starts_with(kAttemptLine)) attempts.push_back(n);
  ASSERT_EQ(attempts.size(), 3u);
  const std::vector<std::string> retry(serial.console.begin() + attempts[0] + 1,
                                       serial.console.begin() + attempts[1]);
  EXPECT_GT(count_starting(retry, "Bound ier in dist"), 0);
}

TEST(EvaluationEquivalence, InjectedAbandonment) {
  // Every attempt of pair 1 above 1: after 25 narrower attempts the enumeration gives up, while
  // a thread has already integrated pair 2. Each attempt is a full integration, so this one
  // compares with the program's own mode on a machine like ours only.
  auto adjust = [](int k, double, double, double r) { return k == 1 ? 1.001 : r; };
  const Printed serial =
      expect_same_output(make_problem(4, 2, 2, 0.0, 0.0, 0.5), adjust, {{2, "memo, 2 threads"}});
  EXPECT_EQ(count_starting(serial.console, kAttemptLine), 26);
  EXPECT_EQ(count_starting(serial.report, "COMPUTATION ABANDONED"), 1);
}

}  // namespace
}  // namespace tarven::console
