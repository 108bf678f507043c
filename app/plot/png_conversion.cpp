#include "plot/png_conversion.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "plot/markup.h"
#include "plot/subprocess.h"

namespace tarven::plot {
namespace {

constexpr std::string_view kConverter = "rsvg-convert";
constexpr auto kTimeLimit = std::chrono::seconds(60);

std::string first_line(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return "";
  const std::size_t end = text.find('\n', start);
  return std::string(text.substr(start, end == std::string_view::npos ? end : end - start));
}

bool write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

PngResult convert_svg_file_to_png(const std::filesystem::path& svg_path,
                                  const std::filesystem::path& png_path,
                                  const PngOptions& options) {
  PngResult result;
  const std::string search_path = options.search_path.value_or(environment_search_path());
  const auto converter = find_program(kConverter, search_path);
  if (!converter) {
    result.error =
        "cannot write PNG: rsvg-convert was not found on the search path; install it "
        "with `apt-get install librsvg2-bin` (Debian, Ubuntu)";
    return result;
  }
  // Absolute paths cannot be mistaken for options, whatever their names.
  std::error_code ec;
  const std::filesystem::path svg = std::filesystem::absolute(svg_path, ec);
  const std::filesystem::path png = std::filesystem::absolute(png_path, ec);
  const SubprocessResult run = run_subprocess(
      {converter->string(), "--format=png", "--zoom=" + format_number(options.zoom, 6),
       "--output=" + png.string(), svg.string()},
      kTimeLimit);
  if (run.succeeded()) {
    result.ok = true;
    return result;
  }
  result.error = "cannot write " + png_path.string() + ": ";
  if (!run.started || run.timed_out) {
    result.error += run.error;
  } else {
    const std::string reason = first_line(run.err);
    result.error += "rsvg-convert " +
                    (run.signal != 0 ? "was ended by signal " + std::to_string(run.signal)
                                     : "failed with exit status " + std::to_string(run.exit_code)) +
                    (reason.empty() ? "" : ": " + reason);
  }
  return result;
}

PngResult convert_svg_to_png(std::string_view svg_text, const std::filesystem::path& png_path,
                             const PngOptions& options) {
  PngResult result;
  std::error_code ec;
  std::string name = (std::filesystem::temp_directory_path(ec) / "tarven-chart-XXXXXX").string();
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    result.error = "cannot write " + png_path.string() +
                   ": cannot create a temporary file: " + std::generic_category().message(errno);
    return result;
  }
  const bool written = write_all(fd, svg_text);
  ::close(fd);
  if (written) {
    result = convert_svg_file_to_png(name, png_path, options);
  } else {
    result.error = "cannot write " + png_path.string() + ": cannot write a temporary file";
  }
  std::filesystem::remove(name, ec);
  return result;
}

}  // namespace tarven::plot
