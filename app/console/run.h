#pragma once

namespace tarven::console {

// The whole console program: report-file dialogue, problem dialogue, computation, processor time,
// exit question. Returns the exit status: 0 after the exit question, 1 when the numerical library
// stopped the run (the report closed with what it holds) or the problem did not fit in memory
// (the file named left as it was).
int run();

}  // namespace tarven::console
