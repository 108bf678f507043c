#include "cli/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tarven::cli {
namespace {

std::string system_error(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

int write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

// The file a path names once its symbolic links are followed (the path itself when it does not
// exist yet, or names a dangling link's directory).
std::string resolved(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p(path);
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec))) {
    const std::filesystem::path target = std::filesystem::weakly_canonical(p, ec);
    if (!ec) return target.string();
  }
  return path;
}

}  // namespace

OutputFile::~OutputFile() {
  discard();
}

std::string OutputFile::open(const std::string& path) {
  discard();
  if (path == "-") {
    standard_output_ = true;
    fd_ = STDOUT_FILENO;
    target_ = path;
    return {};
  }
  target_ = resolved(path);
  const std::filesystem::path target(target_);
  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return target_ + ": is a directory";
  if (exists && ::access(target_.c_str(), W_OK) != 0) return system_error(target_, errno);
  if (exists && !S_ISREG(existing.st_mode)) {
    // A device, a pipe or a socket is written as it is: there is nothing to replace, and renaming
    // over it would put a plain file in its place.
    const int fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return system_error(target_, errno);
    fd_ = fd;
    return {};
  }

  const std::filesystem::path dir =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::string name = ".";
  name += target.filename().string();
  name += ".XXXXXX";
  std::string pattern = (dir / name).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return system_error(dir.string(), errno);
  // mkstemp makes the file private; a replaced file keeps its own permissions, a new one gets
  // those of any new file (0666 less the umask).
  mode_t mode = existing.st_mode & 07777;
  if (!exists) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  fd_ = fd;
  temporary_ = pattern;
  return {};
}

std::string OutputFile::write(std::string_view text) {
  if (fd_ < 0) return "no file open";
  if (const int error = write_all(fd_, text); error != 0)
    return system_error(standard_output_ ? std::string("standard output") : target_, error);
  return {};
}

std::string OutputFile::commit() {
  if (standard_output_) {
    fd_ = -1;
    standard_output_ = false;
    return {};
  }
  if (fd_ < 0) return "no file open";
  std::string error;
  if (temporary_.empty()) {
    // Written in place (a device or a pipe): only its close can still report an error.
    if (::close(fd_) != 0) error = system_error(target_, errno);
    fd_ = -1;
    return error;
  }
  if (::fsync(fd_) != 0 && errno != EINVAL) error = system_error(target_, errno);
  if (::close(fd_) != 0 && error.empty()) error = system_error(target_, errno);
  fd_ = -1;
  if (error.empty() && ::rename(temporary_.c_str(), target_.c_str()) != 0)
    error = system_error(target_, errno);
  if (!error.empty()) {
    ::unlink(temporary_.c_str());
  }
  temporary_.clear();
  return error;
}

void OutputFile::discard() {
  if (standard_output_) {
    fd_ = -1;
    standard_output_ = false;
    return;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

std::string read_complete_lines(const std::string& path, std::string& text) {
  text.clear();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return system_error(path, errno);
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return path + ": cannot be read";
  // A last line without its line feed was cut off by an interruption: it does not count.
  const std::size_t last = text.rfind('\n');
  text.resize(last == std::string::npos ? 0 : last + 1);
  return {};
}

}  // namespace tarven::cli
