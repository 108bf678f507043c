#include "common/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tarven::common {

StandardStreams ensure_standard_streams() noexcept {
  StandardStreams streams;
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    streams.was_closed[static_cast<std::size_t>(fd)] = true;
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened < 0) {
      streams.all_open = false;
      continue;
    }
    // open() returns the lowest free number: `fd` itself, unless a lower one could not be opened.
    if (opened != fd) {
      if (::dup2(opened, fd) < 0) streams.all_open = false;
      ::close(opened);
    }
  }
  return streams;
}

}  // namespace tarven::common
