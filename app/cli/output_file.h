#pragma once

// A file the command line writes whole or not at all (common::ReplacingFile: a temporary file
// beside the target, renamed over it at commit(); a device or a pipe is written as it is), or the
// standard output. Every write is checked: a full disk is an error, never a success.

#include <string>
#include <string_view>

#include "common/replacing_file.h"

namespace tarven::cli {

class OutputFile {
 public:
  // Starts the file that will replace `path`; "-" writes to the standard output instead. Returns
  // an error text naming the file, or "" on success.
  std::string open(const std::string& path);
  std::string write(std::string_view text);
  // Makes what was written the file's content. Returns an error text, or "".
  std::string commit();
  // Gives up: the target stays as it was.
  void discard() { file_.discard(); }

 private:
  std::string error(int number) const;

  common::ReplacingFile file_;
  std::string path_;
  bool standard_output_ = false;
};

// The complete lines of an existing file (everything up to its last line feed); "" when the file
// does not exist. An error text when it exists but cannot be read.
std::string read_complete_lines(const std::string& path, std::string& text);

}  // namespace tarven::cli
