#pragma once

#include "console/list_reader.h"
#include "console/output_unit.h"
#include "tarven/problem.h"

namespace tarven::console {

// Asks the five problem questions. An answer the problem's checks refuse gets one line saying what
// is allowed and the same question again; an unreadable answer or the end of the input ends the
// run with the run-time I/O error report.
Problem ask_problem(ListReader& reader, OutputUnit& console);

// Asks the exit question until the answer is the lower-case letter y.
void ask_exit(ListReader& reader, OutputUnit& console);

}  // namespace tarven::console
