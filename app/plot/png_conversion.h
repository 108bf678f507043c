#pragma once

// PNG pictures of charts, drawn by rsvg-convert (Debian package librsvg2-bin) when it is installed.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarven::plot {

struct PngOptions {
  double zoom = 1;  // 2 gives sharp pictures on high-density screens and in print
  std::optional<std::string> search_path;  // where to look for rsvg-convert; PATH when unset
};

struct PngResult {
  bool ok = false;
  std::string error;  // what went wrong and, when the converter is missing, how to install it
};

PngResult convert_svg_file_to_png(const std::filesystem::path& svg_path,
                                  const std::filesystem::path& png_path,
                                  const PngOptions& options = {});

// The text goes through a temporary file, which is removed afterwards.
PngResult convert_svg_to_png(std::string_view svg_text, const std::filesystem::path& png_path,
                             const PngOptions& options = {});

}  // namespace tarven::plot
