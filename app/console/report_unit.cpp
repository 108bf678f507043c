#include "console/report_unit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "console/io_error.h"

namespace tarven::console {

namespace {

// Writes all of `text`, resuming after short writes and signals. Returns 0 or the errno of the
// failed attempt; `written` counts what reached the descriptor either way.
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

std::string system_text(int error_number) {
  return std::strerror(error_number);
}

}  // namespace

ReportUnit::~ReportUnit() {
  release();
}

std::optional<ReadError> ReportUnit::connect(std::string_view name) {
  close();
  if (name.empty()) return ReadError{"open", "null file name"};
  // The C interface would stop at an embedded NUL and silently open a different name.
  if (name.find('\0') != std::string_view::npos) return ReadError{"open", system_text(EINVAL)};

  const std::string path(name);
  // No O_TRUNC: an existing file is reused from its start; close() cuts what this run did not
  // write over.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  bool read_only = false;
  std::string refusal;
  if (fd < 0) {
    const int error = errno;
    if (error == EACCES || error == EPERM || error == EROFS) {
      // A file we may read but not write stays connected; the refusal is reported at the first
      // write, where the run would first need the file to be writable.
      const int rfd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
      struct stat st {};
      if (rfd >= 0 && ::fstat(rfd, &st) == 0 && !S_ISDIR(st.st_mode)) {
        fd = rfd;
        read_only = true;
        refusal = system_text(error);
      } else if (rfd >= 0) {
        ::close(rfd);
      }
    }
    if (fd < 0) return ReadError{"open", system_text(error)};
  }

  struct stat st {};
  regular_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  fd_ = fd;
  read_only_ = read_only;
  write_refusal_ = std::move(refusal);
  name_ = path;
  written_ = 0;
  active_ = this;
  set_report_closer(&ReportUnit::release_active);
  return std::nullopt;
}

void ReportUnit::put(std::string_view text) {
  if (read_only_) fail("write", write_refusal_);
  const int error = write_all(fd_ >= 0 ? fd_ : STDERR_FILENO, text, written_);
  if (error != 0) fail("write", system_text(error));
}

void ReportUnit::write(std::string_view format, std::initializer_list<FormatValue> values) {
  set_last_format(format);
  put(render(format, values));
}

void ReportUnit::write(std::string_view format, std::span<const FormatValue> values) {
  set_last_format(format);
  put(render(format, values));
}

void ReportUnit::close() {
  if (fd_ < 0) return;  // unit 0 is the process's standard error and stays open
  const UnitState state{1, name_};
  const int error = release();
  if (error != 0) io_error_stop(ReadError{"close", system_text(error)}, state, last_format_, true);
}

void ReportUnit::close_active() {
  if (active_ != nullptr) active_->close();
}

void ReportUnit::fail(std::string_view context, const std::string& reason) {
  // The error report runs the registered closer, which cuts this file at what did get written.
  io_error_stop(ReadError{std::string(context), reason}, UnitState{unit(), name_}, last_format_,
                true);
}

int ReportUnit::release() {
  if (fd_ < 0) return 0;
  int error = 0;
  if (!read_only_ && regular_) {
    if (::ftruncate(fd_, static_cast<off_t>(written_)) != 0) error = errno;
    // Data the file system accepted but could not store shows up here at the latest, before the
    // run may claim success. EINVAL: nothing to sync on this file system, which loses nothing.
    if (::fsync(fd_) != 0 && errno != EINVAL && error == 0) error = errno;
  }
  // On Linux the descriptor is gone after close() even when it reports an error, so it is never
  // retried.
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  read_only_ = false;
  regular_ = false;
  name_.clear();
  if (active_ == this) active_ = nullptr;
  return error;
}

void ReportUnit::release_active() {
  if (active_ != nullptr) active_->release();
}

}  // namespace tarven::console
