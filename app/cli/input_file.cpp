#include "cli/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarven::cli {

std::string input_name(const std::string& path) {
  return path == "-" ? "standard input" : path;
}

std::string open_input(const std::string& path, int& fd) {
  fd = path == "-" ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                   : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return input_name(path) + ": cannot be read (" + std::strerror(errno) + ")";
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    fd = -1;
    return input_name(path) + ": is a directory, not a file";
  }
  return {};
}

std::string read_whole(const std::string& path, std::string& text) {
  text.clear();
  int fd = -1;
  if (std::string error = open_input(path, fd); !error.empty()) return error;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      return input_name(path) + ": cannot be read (" + std::strerror(error) + ")";
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return {};
}

int anonymous_file() {
  const char* directory = std::getenv("TMPDIR");
  if (directory == nullptr || *directory == '\0') directory = "/tmp";
  int fd = ::open(directory, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  // A file system without unnamed files: a named one, unlinked at once.
  std::string name = std::string(directory) + "/tarven-XXXXXX";
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

}  // namespace tarven::cli
