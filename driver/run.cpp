#include "driver/run.h"

#include <cmath>
#include <new>

#include "driver/computation.h"
#include "driver/dialogue.h"
#include "io/clock.h"
#include "io/formats.h"
#include "io/io_error.h"
#include "io/list_reader.h"
#include "io/open_report.h"
#include "io/output_unit.h"
#include "io/report_unit.h"
#include "model/normal.h"
#include "numlib/error_handler.h"

namespace tarven::driver {

int run() {
  const io::DateTime start = io::local_date_time();
  const double cpu_start = io::cpu_seconds();

  io::OutputUnit& console = io::console();
  io::ListReader reader(io::standard_input());
  io::ReportUnit report;
  // A library stop must not lose what the report holds so far.
  numlib::set_stop_hook(&io::ReportUnit::close_active);

  int iunit = 0;
  io::open(iunit, report, reader, console);

  Problem problem = ask_problem(reader, console);
  int ifault = 0;
  problem.zcut = model::ppnd(1.0 - problem.retention, ifault);
  if (ifault != 0) console.put(io::free_form("Fault in ppnd"));

  // All cores and remembered distribution values: the same output, many times sooner.
  EvaluationOptions fast;
  fast.threads = 0;
  fast.memoise = true;
  fast.keep_constants = true;
  try {
    write_report_body(problem, start, fast, console, report);
  } catch (const std::bad_alloc&) {
    // The distribution's arrays are sized from the problem; one too large for this machine ends
    // the run with a message of ours instead of a crash, keeping what the report holds so far.
    console.put(io::free_form("Not enough memory for a problem of this size; the run stops."));
    report.close();
    return 1;
  }

  io::write(report, io::kFormat4855, {io::cpu_seconds() - cpu_start});
  ask_exit(reader, console);
  report.close();
  return 0;
}

}  // namespace tarven::driver
