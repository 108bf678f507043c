#pragma once

// The numerical library's messages on the standard error stream: one block per printed message,
// and the error summary with which a stopped run ends.

#include <string>

#include "tarven/result.h"

namespace tarven::console {

// The block of a diagnostic's message (message_raised), whether or not it was suppressed.
std::string library_message_text(const Diagnostic& d);

// The summary of every distinct message of the evaluation with its count.
std::string library_summary(const Result& result);

}  // namespace tarven::console
