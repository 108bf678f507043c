#pragma once

// The whole text of a file the command line reads: a scenario file, or a grid's results. "-" is
// the standard input, as for every tool that reads a file.

#include <string>

namespace tarven::cli {

// How messages name the file: its path, or "standard input".
std::string input_name(const std::string& path);

// The whole file in `text` ("-": the standard input); an error text naming it, or "".
std::string read_whole(const std::string& path, std::string& text);

}  // namespace tarven::cli
