#pragma once

// Whole files in and out, for tests that prepare files for the program and read what it wrote.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tarven::testing_support {

// The file's bytes, or "" when it cannot be read.
inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_file(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace tarven::testing_support
