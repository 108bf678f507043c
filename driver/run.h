#pragma once

namespace tarven::driver {

// The whole console program: report-file dialogue, problem dialogue, computation, processor time,
// exit question. Returns the exit status of a normal stop (the report closed).
int run();

}  // namespace tarven::driver
