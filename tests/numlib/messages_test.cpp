#include "numlib/messages.h"

#include <gtest/gtest.h>

#include <string>

namespace tarven::numlib {
namespace {

int printed_of(MessageLog& log, const char* routine, int number, int times) {
  int printed = 0;
  for (int i = 0; i < times; ++i)
    printed += log.record(routine, kAbnormalReturn, number, abnormal_return_level(number)) ? 1 : 0;
  return printed;
}

TEST(MessageLog, EachDistinctMessageIsPrintedAtMostTenTimesAndAlwaysCounted) {
  MessageLog log;
  EXPECT_EQ(printed_of(log, "DQAG", 1, 12), kMaxPrintsPerMessage);
  // Another routine, or another error number, is another message with its own allowance.
  EXPECT_EQ(printed_of(log, "DQAGI", 1, 3), 3);
  EXPECT_EQ(printed_of(log, "DQAG", 2, 11), kMaxPrintsPerMessage);
  ASSERT_EQ(log.entries().size(), 3u);
  EXPECT_EQ(log.entries()[0].routine, "DQAG");
  EXPECT_EQ(log.entries()[0].count, 12);
  EXPECT_EQ(log.entries()[1].count, 3);
  EXPECT_EQ(log.entries()[2].number, 2);
  EXPECT_EQ(log.entries()[2].count, 11);
}

TEST(MessageLog, TwoLogsNeverShareTheirCounts) {
  MessageLog first;
  EXPECT_EQ(printed_of(first, "DQAGI", 3, 15), kMaxPrintsPerMessage);
  MessageLog second;
  EXPECT_EQ(printed_of(second, "DQAGI", 3, 1), 1);
}

TEST(MessageLog, OnlyIerSixOfTheAbnormalReturnsStopsTheRun) {
  for (int ier = 1; ier <= 5; ++ier) EXPECT_EQ(abnormal_return_level(ier), Level::kWarning);
  EXPECT_EQ(abnormal_return_level(6), Level::kRecoverable);
}

TEST(MessageLog, BeyondTheTableMessagesAreAlwaysPrintedAndCountedTogether) {
  MessageLog log;
  for (std::size_t n = 0; n < MessageLog::kTableEntries; ++n)
    log.record("R", "TEXT", static_cast<int>(n), Level::kWarning);
  for (int i = 0; i < 12; ++i) EXPECT_TRUE(log.record("R", "TEXT", 1000, Level::kWarning));
  EXPECT_EQ(log.entries().size(), MessageLog::kTableEntries);
  EXPECT_EQ(log.untabulated(), 12);
}

}  // namespace
}  // namespace tarven::numlib
