#pragma once

// A file written under a temporary name beside its target and renamed over the target when it is
// committed. Whoever reads the target meanwhile, and whatever ends the writer early, finds the old
// file whole or the new one whole, never a mixture; of two writers of one target, the one that
// commits last wins. The temporary file is registered with interrupt_cleanup, so a signal that
// ends the process removes it. Its writer holds a lock on it (flock) until the commit, so that
// one killed outright (SIGKILL, a power cut) leaves a file that the next writer of the same target
// can tell from a live writer's: leftovers() finds them, by their name and their free lock.
//
// Where a rename cannot do the job, the target itself is written:
// - a target that is not a regular file (a device such as /dev/null, a pipe) as a stream;
// - a regular file whose directory takes no new file (no write permission there) in place: its
//   old content is dropped at the first write, so that it holds the beginning of the new content,
//   never a mixture; ended early, it is incomplete.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct stat;

namespace tarven::common {

class ReplacingFile {
 public:
  enum class Mode {
    kClosed,
    kReplacing,  // a temporary file beside the target, renamed over it by commit()
    kInPlace,    // the regular target itself, emptied at the first write
    kStream,     // a target that is not a regular file, written as it comes
  };

  ReplacingFile() = default;
  ~ReplacingFile() { discard(); }
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Opens for writing what will replace `path` (a path without NUL characters). A symbolic link
  // is followed, through a chain of links, to the file it names, which is the one replaced. The
  // replacement of an existing file gets its permissions (and its owner and group where the
  // system allows it); a new file gets what creating it would have given (0666 less the umask).
  // Returns 0, or the errno of the failure: an existing target that may not be written is refused
  // with the error of opening it for writing (EACCES, EROFS, ...) even where its directory would
  // take the replacement, and a path that cannot be created fails as creating it would.
  int open(std::string_view path);

  Mode mode() const { return mode_; }
  bool is_open() const { return mode_ != Mode::kClosed; }

  // Writes all of `text`, resuming after short writes and interrupted calls. Returns 0 or the
  // errno of the failed write; what did reach the file counts in written() either way.
  int write(std::string_view text);
  std::uint64_t written() const { return written_; }

  // Makes what was written the target's content and closes: flushes it to storage and renames the
  // temporary file over the target (in place, a target never written to is emptied now). Returns
  // 0 or the errno of the first step that failed; a failed replacement leaves the target as it was
  // and removes the temporary file. Nothing happens when closed.
  int commit();

  // As commit(), but the temporary file takes the target's name with `suffix` added
  // ("results.csv" + ".partial"), beside it, and the target keeps its old content. A file written
  // in place or as a stream has no second name: there this is commit().
  int commit_beside(std::string_view suffix);

  // Gives up and closes: the temporary file is removed and the target keeps its old content (in
  // place, only if nothing was written yet). Nothing happens when closed.
  void discard() noexcept;

  // The temporary files of earlier writers of `path` that ended without committing or discarding
  // (killed outright): regular files named as this class names them, owned by this user, whose
  // lock no process holds. Paths, the most recently written first.
  static std::vector<std::string> leftovers(std::string_view path);

 private:
  // The temporary file beside `base` in `directory`; `existing` is the target's status when it
  // exists, whose permissions pass to the replacement.
  int open_temporary(const std::string& directory, const std::string& base,
                     const struct ::stat* existing);
  // Writes the target itself from here on (kInPlace or kStream by what `fd` is).
  void adopt_target(int fd);
  void reset() noexcept;
  int finish(const std::string& name);

  Mode mode_ = Mode::kClosed;
  int fd_ = -1;                // what is written
  int dirfd_ = -1;             // the target's directory (kReplacing)
  int cleanup_ = -1;           // the temporary file's interrupt_cleanup handle
  std::string temporary_;      // the temporary file's name in dirfd_
  std::string base_;           // the target's name in dirfd_
  std::uint64_t written_ = 0;  // bytes written by this object
};

}  // namespace tarven::common
