#include "common/replacing_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <utility>

#include "common/interrupt_cleanup.h"
#include "common/write_all.h"

namespace tarven::common {
namespace {

// As many links as the kernel follows itself before it gives up with ELOOP.
constexpr int kMaxLinks = 40;
// The temporary name is "." + the target's name + "." + kSuffixLength random characters + ".tmp",
// the target's name cut so that the whole stays a valid file name.
constexpr std::size_t kSuffixLength = 6;
constexpr std::size_t kMaxBaseInName = NAME_MAX - kSuffixLength - 6;
// Attempts at a fresh temporary name before giving up on the temporary file.
constexpr int kNameAttempts = 100;

// Follows the last component of `path` through symbolic links to the name of the file they lead
// to, which need not exist yet. Returns 0 or the errno of the failure.
int follow_links(std::string& path) {
  for (int n = 0; n <= kMaxLinks; ++n) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    std::array<char, PATH_MAX> buffer;
    const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0) return errno;
    if (length == 0 || static_cast<std::size_t>(length) == buffer.size()) return ENAMETOOLONG;
    const std::string link(buffer.data(), static_cast<std::size_t>(length));
    if (link.front() == '/') {
      path = link;
    } else {
      const std::size_t slash = path.rfind('/');
      path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + link;
    }
  }
  return ELOOP;
}

void split(const std::string& path, std::string& directory, std::string& base) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    directory.assign(1, '.');
    base = path;
  } else {
    directory.assign(path, 0, slash == 0 ? 1 : slash);  // "/" itself for a file in the root
    base.assign(path, slash + 1);
  }
}

// "." + the target's name (cut) + ".": the start of every temporary file of that target.
std::string temporary_prefix(const std::string& base) {
  std::string prefix(".");
  prefix.append(base, 0, kMaxBaseInName);
  prefix += '.';
  return prefix;
}

bool is_suffix_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Whether `name` is one of the temporary names of the target whose names start with `prefix`.
bool is_temporary_name(std::string_view name, std::string_view prefix) {
  if (name.size() != prefix.size() + kSuffixLength + 4 || !name.starts_with(prefix) ||
      !name.ends_with(".tmp"))
    return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end() - 4,
                     is_suffix_letter);
}

std::uint64_t mixed(std::uint64_t x) {  // splitmix64's finaliser
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

std::string random_suffix() {
  static constexpr std::string_view kLetters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::array<unsigned char, kSuffixLength> bytes{};
  if (::getrandom(bytes.data(), bytes.size(), GRND_NONBLOCK) !=
      static_cast<ssize_t>(bytes.size())) {
    // Early in boot there may be no entropy yet: processes differ by their ids, calls within one
    // by the counter, and O_EXCL catches the rest.
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x = mixed(
        (static_cast<std::uint64_t>(::getpid()) << 32) ^
        counter.fetch_add(1, std::memory_order_relaxed) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(x);
      x >>= 8;
    }
  }
  std::string suffix;
  for (const unsigned char b : bytes) suffix.push_back(kLetters[b % kLetters.size()]);
  return suffix;
}

}  // namespace

int ReplacingFile::open(std::string_view path) {
  discard();
  written_ = 0;
  std::string target(path);
  // Something that is not a regular file, reached by whatever links (/dev/stdout names a pipe
  // through /proc), is written as a stream under the name given: the links' own text may name
  // nothing that can be opened.
  if (struct stat any{};
      ::stat(target.c_str(), &any) == 0 && !S_ISREG(any.st_mode) && !S_ISDIR(any.st_mode)) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno;
    adopt_target(fd);
    return 0;
  }
  if (const int error = follow_links(target); error != 0) return error;
  std::string directory, base;
  split(target, directory, base);

  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    // Devices and pipes are written as streams; a directory fails here as it always has.
    if (!S_ISREG(st.st_mode)) {
      const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
      if (fd < 0) return errno;
      adopt_target(fd);
      return 0;
    }
    // A file that may not be written is refused as the target refuses it, whatever the directory
    // would allow: a rename must not be a way round its permissions.
    const int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (probe < 0) return errno;
    if (open_temporary(directory, base, &st) == 0) {
      ::close(probe);
    } else {
      adopt_target(probe);
    }
    return 0;
  }

  if (!base.empty() && open_temporary(directory, base, nullptr) == 0) return 0;
  // No temporary file: create the target directly, which also fails with the reason a missing
  // directory or a forbidden one gives.
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return errno;
  adopt_target(fd);
  return 0;
}

int ReplacingFile::open_temporary(const std::string& directory, const std::string& base,
                                  const struct ::stat* existing) {
  int dirfd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A directory that may be written but not listed still takes the file; only the flush of the
  // rename to storage is then left to the system.
  if (dirfd < 0) dirfd = ::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dirfd < 0) return errno;

  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = temporary_prefix(base);
    name += random_suffix();
    name += ".tmp";
    // Registered before it exists, so that no signal can come between its creation and its
    // registration.
    const int cleanup = arm_cleanup(dirfd, name);
    // 0666 less the umask, as creating the target would give.
    const int fd =
        ::openat(dirfd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
      const int error = errno;
      disarm_cleanup(cleanup);
      if (error == EEXIST) continue;
      ::close(dirfd);
      return error;
    }
    // Held until the descriptor is closed, by the commit, the discard or the end of the process:
    // a temporary file nobody holds was left by a writer that is gone. A file system without locks
    // only loses that distinction.
    ::flock(fd, LOCK_EX | LOCK_NB);
    if (existing != nullptr) {
      // Owner and group first: changing them clears the set-user-ID and set-group-ID bits. Only
      // the superuser may give a file away; anyone else keeps the file as their own.
      if ((existing->st_uid != ::geteuid() || existing->st_gid != ::getegid()) &&
          ::fchown(fd, existing->st_uid, existing->st_gid) != 0) {
        // keep what the system allowed
      }
      ::fchmod(fd, existing->st_mode & 07777);
    }
    mode_ = Mode::kReplacing;
    fd_ = fd;
    dirfd_ = dirfd;
    cleanup_ = cleanup;
    temporary_ = std::move(name);
    base_ = base;
    return 0;
  }
  ::close(dirfd);
  return EEXIST;
}

void ReplacingFile::adopt_target(int fd) {
  struct stat st {};
  mode_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? Mode::kInPlace : Mode::kStream;
  fd_ = fd;
}

int ReplacingFile::write(std::string_view text) {
  if (fd_ < 0) return EBADF;
  // In place, the old content goes at the first write, not before: until then a run that ends
  // early leaves the file as it was, and after it an interrupted run leaves the beginning of the
  // new content, never new bytes followed by the old file's tail.
  if (mode_ == Mode::kInPlace && written_ == 0 && !text.empty() && ::ftruncate(fd_, 0) != 0)
    return errno;
  return write_all(fd_, text, written_);
}

int ReplacingFile::commit() {
  return finish(base_);
}

int ReplacingFile::commit_beside(std::string_view suffix) {
  return finish(base_ + std::string(suffix));
}

int ReplacingFile::finish(const std::string& name) {
  if (mode_ == Mode::kClosed) return 0;
  int error = 0;
  if (mode_ == Mode::kInPlace && ::ftruncate(fd_, static_cast<off_t>(written_)) != 0) error = errno;
  // Data the file system accepted but could not store shows up here at the latest, before the
  // program may claim success. EINVAL: nothing to sync on this file system, which loses nothing.
  if (mode_ != Mode::kStream && ::fsync(fd_) != 0 && errno != EINVAL && error == 0) error = errno;
  // The lock goes with the last descriptor of the file: a copy keeps it until the rename is done,
  // so that no other writer takes the file for a leftover meanwhile.
  const int lock = mode_ == Mode::kReplacing ? ::dup(fd_) : -1;
  // On Linux the descriptor is gone after close() even when it reports an error.
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (mode_ == Mode::kReplacing) {
    if (error == 0 && ::renameat(dirfd_, temporary_.c_str(), dirfd_, name.c_str()) != 0)
      error = errno;
    if (error != 0) {
      ::unlinkat(dirfd_, temporary_.c_str(), 0);
    } else {
      // The rename itself to storage; a descriptor opened only as a path cannot, which costs
      // nothing but that.
      ::fsync(dirfd_);
    }
  }
  if (lock >= 0) ::close(lock);
  reset();
  return error;
}

void ReplacingFile::discard() noexcept {
  if (mode_ == Mode::kClosed) return;
  ::close(fd_);
  if (mode_ == Mode::kReplacing) ::unlinkat(dirfd_, temporary_.c_str(), 0);
  reset();
}

std::vector<std::string> ReplacingFile::leftovers(std::string_view path) {
  std::string target(path);
  if (struct stat any{};
      ::stat(target.c_str(), &any) == 0 && !S_ISREG(any.st_mode) && !S_ISDIR(any.st_mode))
    return {};  // written as a stream: never through a temporary file
  if (follow_links(target) != 0) return {};
  std::string directory, base;
  split(target, directory, base);
  if (base.empty()) return {};
  const std::string prefix = temporary_prefix(base);

  DIR* listing = ::opendir(directory.c_str());
  if (listing == nullptr) return {};
  std::vector<std::pair<struct timespec, std::string>> found;
  while (const struct dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (!is_temporary_name(name, prefix)) continue;
    const std::string file = directory + "/" + std::string(name);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {};
    // Another user's file in a shared directory is none of ours to read or remove.
    const bool ours = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
    const bool free = ours && ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    ::close(fd);
    if (free) found.emplace_back(st.st_mtim, file);
  }
  ::closedir(listing);
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    if (a.first.tv_sec != b.first.tv_sec) return a.first.tv_sec > b.first.tv_sec;
    return a.first.tv_nsec > b.first.tv_nsec;
  });
  std::vector<std::string> paths;
  for (auto& [time, file] : found) paths.push_back(std::move(file));
  return paths;
}

void ReplacingFile::reset() noexcept {
  disarm_cleanup(cleanup_);
  if (dirfd_ >= 0) ::close(dirfd_);
  mode_ = Mode::kClosed;
  fd_ = -1;
  dirfd_ = -1;
  cleanup_ = -1;
  temporary_.clear();
  base_.clear();
}

}  // namespace tarven::common
