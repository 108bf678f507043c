#pragma once

// A file the command line writes whole or not at all: the text goes to a new temporary file beside
// the target (same directory, so the rename is atomic) and replaces the target only at commit().
// An interrupted or failed run leaves the target as it was and removes the temporary file. A
// symbolic link is followed, so the file it points to is replaced; an existing file keeps its
// permissions. A target that is not a regular file (a device, a pipe) is written in place. Every
// write is checked: a full disk is an error, never a success.

#include <string>
#include <string_view>

namespace tarven::cli {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // an uncommitted file is discarded
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Starts the temporary file for `path`. "-" writes straight to the standard output instead.
  // Returns an error text, or "" on success.
  std::string open(const std::string& path);
  std::string write(std::string_view text);
  // Syncs the temporary file and renames it over the target. Returns an error text, or "".
  std::string commit();
  // Removes the temporary file; the target stays as it was.
  void discard();

  const std::string& target() const { return target_; }
  // The temporary file's name, for a signal handler that must remove it (empty when none).
  const std::string& temporary() const { return temporary_; }

 private:
  int fd_ = -1;
  bool standard_output_ = false;
  std::string target_;     // the file that is replaced (a link resolved)
  std::string temporary_;  // the file being written
};

// The complete lines of an existing file (everything up to its last line feed); "" when the file
// does not exist. An error text when it exists but cannot be read.
std::string read_complete_lines(const std::string& path, std::string& text);

}  // namespace tarven::cli
