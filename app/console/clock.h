// The run clock: the local start date and time and the processor time used by the process.
#pragma once

namespace tarven::console {

struct DateTime {
  int year, month, day, hour, minute, second;
};

// Wall clock in local time, to the second (month 1..12, day 1..31, hour 0..23). All fields are 0
// when the system cannot tell the time.
DateTime local_date_time();

// Processor time used by the process so far, user plus system, in seconds. From the process's
// resource usage (microsecond resolution); where that is unavailable, from std::clock(), which
// measures the same on POSIX systems; -1 when neither can be read.
double cpu_seconds();

}  // namespace tarven::console
