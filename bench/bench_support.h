#pragma once

// What the benchmarks share: picking problems by name from a comma-separated option.

#include <string_view>

namespace tarven::bench {

// Whether `name` is one of the comma-separated names in `list`.
inline bool listed(std::string_view list, std::string_view name) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    if (list.substr(0, comma) == name) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

}  // namespace tarven::bench
