#include "console/clock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>

namespace tarven::console {
namespace {

bool same_second(const DateTime& d, std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return d.year == local.tm_year + 1900 && d.month == local.tm_mon + 1 && d.day == local.tm_mday &&
         d.hour == local.tm_hour && d.minute == local.tm_min && d.second == local.tm_sec;
}

TEST(Clock, LocalDateTimeIsTheCurrentLocalSecond) {
  const std::time_t before = std::time(nullptr);
  const DateTime now = local_date_time();
  const std::time_t after = std::time(nullptr);
  EXPECT_TRUE(same_second(now, before) || same_second(now, after))
      << now.day << "/" << now.month << "/" << now.year << " " << now.hour << ":" << now.minute
      << ":" << now.second;
  EXPECT_GE(now.year, 2024);
  EXPECT_LE(now.year, 9999);
}

double process_clock() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

TEST(Clock, CpuSecondsFollowUserWork) {
  const double start = cpu_seconds();
  const double clock_start = process_clock();
  ASSERT_GE(start, 0.0);
  volatile double sink = 0.0;
  while (process_clock() - clock_start < 0.2) {
    for (int i = 0; i < 100000; ++i) sink = sink + i * 0.5;
  }
  const double used = cpu_seconds() - start;
  EXPECT_NEAR(used, process_clock() - clock_start, 0.05);
}

TEST(Clock, CpuSecondsIncludeSystemTime) {
  // Small writes spend their time in the kernel: a user-only reading would miss most of it.
  const int fd = open("/dev/null", O_WRONLY);
  ASSERT_GE(fd, 0);
  const double start = cpu_seconds();
  const double clock_start = process_clock();
  char byte = 'x';
  while (process_clock() - clock_start < 0.2) {
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(write(fd, &byte, 1), 1);
  }
  close(fd);
  const double used = cpu_seconds() - start;
  EXPECT_NEAR(used, process_clock() - clock_start, 0.05);
}

TEST(Clock, CpuSecondsNeverDecrease) {
  double last = cpu_seconds();
  for (int i = 0; i < 10000; ++i) {
    const double now = cpu_seconds();
    ASSERT_GE(now, last);
    last = now;
  }
}

}  // namespace
}  // namespace tarven::console
