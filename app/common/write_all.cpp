#include "common/write_all.h"

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace tarven::common {

int write_all(int fd, std::string_view text, std::uint64_t& written) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;  // no progress and no reason: do not spin
    p += n;
    left -= static_cast<std::size_t>(n);
    written += static_cast<std::uint64_t>(n);
  }
  return 0;
}

}  // namespace tarven::common
