#pragma once

namespace tarven::console {

// The whole console program: report-file dialogue, problem dialogue, computation, processor time,
// exit question. Returns the exit status: 0 after the exit question, 1 when the numerical library
// stopped the run or the problem did not fit in memory (the report closed either way).
int run();

}  // namespace tarven::console
