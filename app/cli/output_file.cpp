#include "cli/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "common/write_all.h"

namespace tarven::cli {

std::string OutputFile::error(int number) const {
  return (standard_output_ ? std::string("standard output") : path_) + ": " + std::strerror(number);
}

std::string OutputFile::open(const std::string& path) {
  file_.discard();
  path_ = path;
  standard_output_ = path == "-";
  leftovers_.clear();
  if (standard_output_) return {};
  // Found before this writer's own temporary file exists, which is never among them.
  leftovers_ = common::ReplacingFile::leftovers(path);
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
  const bool replaced = file_.mode() == common::ReplacingFile::Mode::kReplacing;
  const int number = file_.commit();
  if (number != 0) return error(number);
  remove_leftovers(replaced);
  return {};
}

std::string OutputFile::commit_partial(std::string& kept_in) {
  kept_in = standard_output_ ? std::string("standard output") : path_;
  if (file_.mode() != common::ReplacingFile::Mode::kReplacing) return commit();
  const int number = file_.commit_beside(kPartialSuffix);
  if (number != 0) return error(number);
  kept_in = path_ + std::string(kPartialSuffix);
  remove_leftovers(false);
  return {};
}

void OutputFile::remove_leftovers(bool with_partial) const {
  for (const std::string& file : leftovers_) ::unlink(file.c_str());
  if (with_partial) ::unlink((path_ + std::string(kPartialSuffix)).c_str());
}

namespace {

// What makes two paths one file: its device and inode where it exists, else its absolute path
// with every link of the part that exists resolved.
struct Identity {
  bool exists = false;
  bool device = false;  // a character device, which any number of outputs may share
  dev_t dev = 0;
  ino_t ino = 0;
  std::string path;

  bool operator==(const Identity& other) const {
    if (exists != other.exists) return false;
    return exists ? dev == other.dev && ino == other.ino : path == other.path;
  }
};

Identity identity_of(const std::string& path) {
  Identity id;
  struct stat st {};
  const bool found =
      path == "-" ? ::fstat(STDOUT_FILENO, &st) == 0 : ::stat(path.c_str(), &st) == 0;
  if (found) {
    id.exists = true;
    id.device = S_ISCHR(st.st_mode);
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    // Standard output on a pipe or a terminal is no file another option could name.
    if (path == "-" && !S_ISREG(st.st_mode)) id.device = true;
    return id;
  }
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  id.path = std::filesystem::weakly_canonical(absolute, ec).string();
  if (ec) id.path = absolute.lexically_normal().string();
  return id;
}

std::string shown(const NamedFile& file) {
  return file.path == "-" ? file.option + " (standard output)" : file.option + " " + file.path;
}

}  // namespace

std::string check_distinct(const std::vector<NamedFile>& inputs,
                           const std::vector<NamedFile>& outputs) {
  std::vector<std::pair<const NamedFile*, Identity>> seen;
  for (const NamedFile& output : outputs) {
    if (output.path.empty()) continue;
    Identity id = identity_of(output.path);
    if (id.device) continue;
    for (const NamedFile& input : inputs) {
      if (!input.path.empty() && input.path != "-" && identity_of(input.path) == id) {
        return shown(output) + " is the " + input.option + " " + input.path +
               ": the output would replace what it is made from";
      }
    }
    for (const auto& [earlier, earlier_id] : seen) {
      if (earlier_id == id) {
        return shown(*earlier) + " and " + shown(output) +
               " are the same file: one would be written over the other";
      }
    }
    seen.emplace_back(&output, std::move(id));
  }
  return {};
}

}  // namespace tarven::cli
