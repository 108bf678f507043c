#include "console/report_unit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/write_all.h"
#include "console/io_error.h"

namespace tarven::console {

namespace {

std::string system_text(int error_number) {
  return std::strerror(error_number);
}

}  // namespace

ReportUnit::~ReportUnit() {
  abandon();
}

std::optional<ReadError> ReportUnit::connect(std::string_view name) {
  close();
  if (name.empty()) return ReadError{"open", "null file name"};
  // The C interface would stop at an embedded NUL and silently open a different name.
  if (name.find('\0') != std::string_view::npos) return ReadError{"open", system_text(EINVAL)};

  const std::string path(name);
  std::string refusal;
  if (const int error = file_.open(path); error != 0) {
    if (error != EACCES && error != EPERM && error != EROFS) {
      return ReadError{"open", system_text(error)};
    }
    // A file we may read but not write stays connected; the refusal is reported at the first
    // write, where the run would first need the file to be writable.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      if (fd >= 0) ::close(fd);
      return ReadError{"open", system_text(error)};
    }
    read_only_fd_ = fd;
    refusal = system_text(error);
  }

  write_refusal_ = std::move(refusal);
  name_ = path;
  written_ = 0;
  active_ = this;
  set_report_closer(&ReportUnit::abandon_active);
  return std::nullopt;
}

void ReportUnit::put(std::string_view text) {
  if (read_only_fd_ >= 0) fail("write", write_refusal_);
  int error = 0;
  if (file_.is_open()) {
    const std::uint64_t before = file_.written();
    error = file_.write(text);
    written_ += file_.written() - before;
  } else {
    error = common::write_all(STDERR_FILENO, text, written_);
  }
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
  if (unit() == 0) return;  // unit 0 is the process's standard error and stays open
  const UnitState state{1, name_};
  // A read-only file was never written: there is nothing to put in its place.
  const int error = file_.commit();
  disconnect();
  if (error != 0) io_error_stop(ReadError{"close", system_text(error)}, state, last_format_, true);
}

void ReportUnit::abandon() {
  if (unit() == 0) return;
  file_.discard();
  disconnect();
}

void ReportUnit::close_active() {
  if (active_ != nullptr) active_->close();
}

void ReportUnit::fail(std::string_view context, const std::string& reason) {
  // The error report runs the registered closer, which abandons this file.
  io_error_stop(ReadError{std::string(context), reason}, UnitState{unit(), name_}, last_format_,
                true);
}

void ReportUnit::disconnect() {
  if (read_only_fd_ >= 0) ::close(read_only_fd_);
  read_only_fd_ = -1;
  write_refusal_.clear();
  name_.clear();
  if (active_ == this) active_ = nullptr;
}

void ReportUnit::abandon_active() {
  if (active_ != nullptr) active_->abandon();
}

}  // namespace tarven::console
