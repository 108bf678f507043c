#pragma once

// A file the command line writes whole or not at all (common::ReplacingFile: a temporary file
// beside the target, renamed over it at commit(); a device or a pipe is written as it is), or the
// standard output. Every write is checked: a full disk is an error, never a success.

#include <string>
#include <string_view>
#include <vector>

#include "common/replacing_file.h"

namespace tarven::cli {

// Where an interrupted run keeps its rows done, beside the target it leaves as it was.
inline constexpr std::string_view kPartialSuffix = ".partial";

class OutputFile {
 public:
  // Starts the file that will replace `path`; "-" writes to the standard output instead. Returns
  // an error text naming the file, or "" on success.
  std::string open(const std::string& path);
  std::string write(std::string_view text);
  // Makes what was written the file's content. The target's rows kept by an interrupted run
  // (path + kPartialSuffix) and the temporary files of killed runs go with it. Returns an error
  // text, or "".
  std::string commit();
  // Keeps what was written as path + kPartialSuffix and leaves the target as it was; where the
  // target is written in place or as a stream, commit(). `kept_in` names where the text went.
  std::string commit_partial(std::string& kept_in);
  // Gives up: the target stays as it was.
  void discard() { file_.discard(); }
  bool is_standard_output() const { return standard_output_; }

 private:
  std::string error(int number) const;
  void remove_leftovers(bool with_partial) const;

  common::ReplacingFile file_;
  std::string path_;
  std::vector<std::string> leftovers_;  // temporary files of killed runs on the same target
  bool standard_output_ = false;
};

// An input or output file of a command, with the option that names it.
struct NamedFile {
  std::string option;  // "-o", "--distribution", "the scenarios file"
  std::string path;    // "-" for the standard output
};

// Refuses, before anything runs, two outputs that are one file or an output that is an input:
// the same file where they exist (device and inode, whatever links lead there), the same path
// where they do not yet. Character devices (/dev/null) may take any number of outputs. An error
// text naming both, or "".
std::string check_distinct(const std::vector<NamedFile>& inputs,
                           const std::vector<NamedFile>& outputs);

}  // namespace tarven::cli
