#include "console/library_messages.h"

#include <gtest/gtest.h>

#include <regex>
#include <variant>

#include "tarven/evaluate.h"

namespace tarven::console {
namespace {

TEST(LibraryMessages, AStoppedRunEndsWithASummaryOfEveryMessageAndItsCount) {
  // Dozens of warnings of dist, then a stop in the second pair's outer integration.
  Options stop = Options::reference();
  stop.testing.outer_ier = [](int k, double, double) { return k == 2 ? 6 : 0; };
  const Problem p = std::get<Problem>(Problem::make(4, 2, 2, -3.0, 0.9, 0.02));
  const Result r = evaluate(p, stop);
  ASSERT_EQ(r.status, Status::kNumericalStop);
  const std::string summary = library_summary(r);
  EXPECT_TRUE(std::regex_match(
      summary,
      std::regex(" \\*\\*\\* numerical library error summary\n"
                 " \\*   ROUTINE      NUMBER  LEVEL        COUNT  MESSAGE\n"
                 "( \\*   DQAGI             [1-5]  WARNING     +[0-9]+  ABNORMAL RETURN\n)+"
                 " \\*   DQAG              6  RECOVERABLE      1  ABNORMAL RETURN\n"
                 " \\*\\*\\* end of summary\n")))
      << summary;
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
