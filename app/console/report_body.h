#pragma once

// The console program's rendering of one evaluation: the report from its start line to its
// summary (or the abandonment notice), the console lines that show the run as it goes, and the
// numerical library's messages, each in the layout the program has always used.

#include "console/clock.h"
#include "console/output_unit.h"
#include "tarven/evaluate.h"

namespace tarven::console {

// Evaluates the problem and writes the start line, the group-mean check, banner, problem
// specification, the pair lines, the distribution and the summary (or the abandonment notice) to
// `console` and `report`, and the library's messages to `messages`, all in the order the run makes
// them. After a numerical stop the report ends where the run stopped; the caller adds the
// library's error summary. Returns the evaluation's result.
Result write_report_body(const Problem& problem, const DateTime& start, const Options& options,
                         OutputUnit& console, OutputUnit& report, OutputUnit& messages);

// The console lines of one attempt at a pair: its log-beta line, and for an accepted or capped
// pair its pair line; nothing for a saturated pair.
void write_pair(const PairResult& p, OutputUnit& console);

// The distribution table (report) and the console lines of clearly negative point probabilities,
// and the summary section, from a result whose status is ok.
void write_distribution(const Result& result, OutputUnit& report, OutputUnit& console);
void write_summary(const Result& result, OutputUnit& report);

}  // namespace tarven::console
