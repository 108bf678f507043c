#pragma once

#include "driver/problem.h"
#include "io/list_reader.h"
#include "io/output_unit.h"

namespace tarven::driver {

// Asks the five problem questions. An answer outside its range gets one line saying what is
// allowed and the same question again; an unreadable answer or the end of the input ends the run
// with the run-time I/O error report. The cutoff is left for the caller (it reports a fault of
// the quantile function itself).
Problem ask_problem(io::ListReader& reader, io::OutputUnit& console);

// Asks the exit question until the answer is the lower-case letter y.
void ask_exit(io::ListReader& reader, io::OutputUnit& console);

}  // namespace tarven::driver
