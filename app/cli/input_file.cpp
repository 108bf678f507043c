#include "cli/input_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tarven::cli {

std::string input_name(const std::string& path) {
  return path == "-" ? "standard input" : path;
}

std::string read_whole(const std::string& path, std::string& text) {
  if (path == "-") {
    text.clear();
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) text.append(buffer, got);
    return std::ferror(stdin) ? "standard input: cannot be read" : std::string();
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot be read (" + std::strerror(errno) + ")";
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return path + ": cannot be read";
  return {};
}

}  // namespace tarven::cli
