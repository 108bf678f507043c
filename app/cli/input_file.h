#pragma once

// Files the command line reads: scenarios, results, what an earlier run left. Every failure is an
// error text naming the file, never an exception.

#include <string>

namespace tarven::cli {

// Opens `path` for reading into `fd` (the caller closes it). A directory is refused here, where
// its name can still be given, rather than at the first read.
std::string open_input(const std::string& path, int& fd);

// The whole file: for results tables, which `plot` reads whole.
std::string read_whole(const std::string& path, std::string& text);

// A file without a name, gone when closed: the copy of a pipe read once, for a second reading.
// -1 (and errno) when none can be made.
int anonymous_file();

}  // namespace tarven::cli
