#include "cli/output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/write_all.h"

namespace tarven::cli {

std::string OutputFile::error(int number) const {
  return (standard_output_ ? std::string("standard output") : path_) + ": " + std::strerror(number);
}

std::string OutputFile::open(const std::string& path) {
  file_.discard();
  path_ = path;
  standard_output_ = path == "-";
  if (standard_output_) return {};
  const int number = file_.open(path);
  return number == 0 ? std::string() : error(number);
}

std::string OutputFile::write(std::string_view text) {
  if (!standard_output_) {
    const int number = file_.write(text);
    return number == 0 ? std::string() : error(number);
  }
  std::uint64_t written = 0;
  const int number = common::write_all(STDOUT_FILENO, text, written);
  return number == 0 ? std::string() : error(number);
}

std::string OutputFile::commit() {
  if (standard_output_) return {};
  const int number = file_.commit();
  return number == 0 ? std::string() : error(number);
}

std::string read_complete_lines(const std::string& path, std::string& text) {
  text.clear();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": " + std::strerror(errno);
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return path + ": cannot be read";
  // A last line without its line feed was cut off by an interruption: it does not count.
  const std::size_t last = text.rfind('\n');
  text.resize(last == std::string::npos ? 0 : last + 1);
  return {};
}

}  // namespace tarven::cli
