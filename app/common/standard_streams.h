#pragma once

namespace tarven::common {

// Opens /dev/null on whichever of descriptors 0, 1 and 2 is closed (input on 0, output on 1 and 2).
// A program started with a standard stream closed (`prog >&-`, as some job schedulers do) would
// otherwise hand that number to the next file it opens, and its prompts or error messages would
// land in that file. Call it first thing in main(), before anything else opens a file. Returns
// false when a closed descriptor could not be opened.
bool ensure_standard_streams() noexcept;

}  // namespace tarven::common
