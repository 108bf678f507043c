#include "console/library_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "core/seams.h"
#include "tarven/evaluate.h"

namespace tarven::console {
namespace {

TEST(LibraryMessages, AStoppedRunEndsWithASummaryOfEveryMessageAndItsCount) {
  // Dozens of warnings of dist, then a stop in the second pair's outer integration.
  const core::ScopedSeams seams(
      {.outer_ier = [](int k, double, double) { return k == 2 ? 6 : 0; }});
  const Problem p = std::get<Problem>(Problem::make(4, 2, 2, -3.0, 0.9, 0.02));
  const Result r = evaluate(p, Options::nested_straightforward());
  ASSERT_EQ(r.status, Status::kNumericalStop);
  const std::string summary = library_summary(r);
  std::vector<std::string> lines;
  for (std::size_t from = 0, nl; (nl = summary.find('\n', from)) != std::string::npos;
       from = nl + 1)
    lines.push_back(summary.substr(from, nl - from));
  ASSERT_GE(lines.size(), 5u) << summary;
  EXPECT_EQ(lines[0], " *** numerical library error summary");
  EXPECT_EQ(lines[1], " *   ROUTINE      NUMBER  LEVEL        COUNT  MESSAGE");
  // The warnings of dist, one line per error number with its count, then the stop.
  for (std::size_t n = 2; n + 2 < lines.size(); ++n) {
    EXPECT_TRUE(lines[n].starts_with(" *   DQAGI             ")) << lines[n];
    EXPECT_NE(lines[n].find("  WARNING "), std::string::npos) << lines[n];
    EXPECT_TRUE(lines[n].ends_with("  ABNORMAL RETURN")) << lines[n];
  }
  EXPECT_EQ(lines[lines.size() - 2],
            " *   DQAG              6  RECOVERABLE      1  ABNORMAL RETURN");
  EXPECT_EQ(lines.back(), " *** end of summary");
  // The counts include the messages that were not printed.
  int counted = 0;
  for (const LibraryMessage& m : r.messages) counted += m.count;
  EXPECT_EQ(static_cast<std::size_t>(counted), r.diagnostics.size());
}

TEST(LibraryMessages, AFatalErrorNamesItsRoutineTextAndNumber) {
  Diagnostic d;
  d.kind = DiagnosticKind::kFatal;
  d.routine = "DLBETA";
  d.ier = 1;
  d.message = "AN ARGUMENT IS NOT POSITIVE";
  d.level = MessageLevel::kFatal;
  EXPECT_EQ(library_message_text(d),
            " *** numerical library message from routine DLBETA\n"
            " *** FATAL ERROR, THE RUN STOPS\n"
            " *   AN ARGUMENT IS NOT POSITIVE\n"
            " *   ERROR NUMBER = 1\n"
            " *** end of message\n");
}

}  // namespace
}  // namespace tarven::console
