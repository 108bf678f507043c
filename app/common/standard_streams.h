#pragma once

#include <array>

namespace tarven::common {

struct StandardStreams {
  bool all_open = true;              // false when a closed descriptor could not be opened
  std::array<bool, 3> was_closed{};  // which of 0, 1 and 2 the program was started without
};

// Opens /dev/null on whichever of descriptors 0, 1 and 2 is closed (input on 0, output on 1 and 2).
// A program started with a standard stream closed (`prog >&-`, as some job schedulers do) would
// otherwise hand that number to the next file it opens, and its prompts or error messages would
// land in that file. Call it first thing in main(), before anything else opens a file. What it
// reports lets a command refuse to deliver its results to a standard output that was closed.
StandardStreams ensure_standard_streams() noexcept;

}  // namespace tarven::common
