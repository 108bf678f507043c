#pragma once

#include <cstdint>
#include <string_view>

namespace tarven::common {

// Writes all of `text` to the descriptor, resuming after short writes and interrupted calls.
// Returns 0 or the errno of the failed attempt (EIO for a write that makes no progress and gives no
// reason); `written` grows by what reached the descriptor either way.
int write_all(int fd, std::string_view text, std::uint64_t& written);

}  // namespace tarven::common
