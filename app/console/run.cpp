#include "console/run.h"

#include "console/clock.h"
#include "console/dialogue.h"
#include "console/formats.h"
#include "console/library_messages.h"
#include "console/list_reader.h"
#include "console/open_report.h"
#include "console/output_unit.h"
#include "console/report_body.h"
#include "console/report_unit.h"

namespace tarven::console {

int run() {
  const DateTime start = local_date_time();
  const double cpu_start = cpu_seconds();

  OutputUnit& console = console_unit();
  ListReader reader(standard_input());
  ReportUnit report;

  int iunit = 0;
  open(iunit, report, reader, console);

  const Problem problem = ask_problem(reader, console);

  // All cores and remembered distribution values: the same output, many times sooner.
  const Result result =
      write_report_body(problem, start, Options::nested(), console, report, error_unit());
  if (result.status == Status::kNumericalStop) {
    // Status 1, not 0: a run cut short by a library error must not look like success to scripts.
    error_unit().put(library_summary(result));
    report.close();
    return 1;
  }
  if (result.status == Status::kOutOfMemory) {
    // An incomplete report must not take the place of the file named.
    console.put(free_form("Not enough memory for a problem of this size; the run stops."));
    report.abandon();
    return 1;
  }

  write(report, kFormat4855, {cpu_seconds() - cpu_start});
  // The report is complete: it takes the file's place now, so that whatever ends the run at the
  // exit question (the end of the input, a signal) leaves it there.
  report.close();
  ask_exit(reader, console);
  return 0;
}

}  // namespace tarven::console
