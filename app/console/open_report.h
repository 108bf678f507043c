#pragma once

// The report-file dialogue: asks for the name of the report file, asks before writing over an
// existing file, and connects the report unit.

#include "console/list_reader.h"
#include "console/output_unit.h"
#include "console/report_unit.h"

namespace tarven::console {

// Length of the file-name answer: a longer answer is cut, a shorter one padded with blanks.
inline constexpr std::size_t kReportNameLength = 14;

// Writes the file-name question to `console`, reads the name from `reader` and connects `report`
// to it, asking first when the file exists. Sets `iunit` to 1 when a file was connected; after a
// refusal to write over an existing file `iunit` keeps the caller's value (0) and the report stays
// on the standard error stream. End of input at either answer, and a file that cannot be opened,
// end the run with the run-time I/O error report. When the report has to be written into the file
// itself (its directory takes no new file), one console line says so.
void open(int& iunit, ReportUnit& report, ListReader& reader, OutputUnit& console = console_unit());

}  // namespace tarven::console
