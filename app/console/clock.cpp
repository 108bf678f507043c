#include "console/clock.h"

#include <sys/resource.h>

#include <algorithm>
#include <ctime>

namespace tarven::console {

DateTime local_date_time() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) {
    return DateTime{0, 0, 0, 0, 0, 0};
  }
  // A leap second (60) is shown as the last ordinary second of its minute.
  return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
}

double cpu_seconds() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) == 0) {
    const double seconds =
        static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_stime.tv_sec);
    const double micro =
        static_cast<double>(usage.ru_utime.tv_usec) + static_cast<double>(usage.ru_stime.tv_usec);
    return seconds + micro / 1e6;
  }
  const std::clock_t ticks = std::clock();
  if (ticks == static_cast<std::clock_t>(-1)) return -1.0;
  return static_cast<double>(ticks) / CLOCKS_PER_SEC;
}

}  // namespace tarven::console
