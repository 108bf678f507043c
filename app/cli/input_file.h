#pragma once

// Files the command line reads: a scenario file, a grid's results, what an earlier run left. "-"
// is the standard input, as for every tool that reads a file. Every failure is an error text
// naming the file, never an exception.

#include <string>

namespace tarven::cli {

// How messages name the file: its path, or "standard input".
std::string input_name(const std::string& path);

// Opens `path` ("-": the standard input) for reading into `fd`, which the caller closes. A
// directory is refused here, where its name can still be given, rather than at the first read.
std::string open_input(const std::string& path, int& fd);

// The whole file in `text` ("-": the standard input); an error text naming it, or "".
std::string read_whole(const std::string& path, std::string& text);

// A file without a name, gone when closed: the copy of a pipe read once, for a second reading.
// -1 (and errno) when none can be made.
int anonymous_file();

}  // namespace tarven::cli
