#include "common/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tarven::common {

bool ensure_standard_streams() noexcept {
  bool all = true;
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened < 0) {
      all = false;
      continue;
    }
    // open() returns the lowest free number: `fd` itself, unless a lower one could not be opened.
    if (opened != fd) {
      if (::dup2(opened, fd) < 0) all = false;
      ::close(opened);
    }
  }
  return all;
}

}  // namespace tarven::common
