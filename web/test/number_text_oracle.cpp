// The command line's spelling of numbers, for the page's tests: each input line "w BITS" (a double
// as 16 hexadecimal digits) is answered with std::to_chars of it, each line "r TEXT" with the bits
// of the double std::from_chars reads from the whole of TEXT, or "refused", as the command line
// reads a field (app/cli/scenario.cpp).

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    const std::string arg = line.substr(2);
    if (line[0] == 'w') {
      const std::uint64_t bits = std::stoull(arg, nullptr, 16);
      double x = 0;
      std::memcpy(&x, &bits, sizeof x);
      char buffer[400];
      const auto end = std::to_chars(buffer, buffer + sizeof buffer, x).ptr;
      std::cout << std::string(buffer, end) << '\n';
    } else {
      double x = 0;
      const auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), x);
      if (arg.empty() || ec != std::errc() || end != arg.data() + arg.size() || !std::isfinite(x)) {
        std::cout << "refused\n";
      } else {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &x, sizeof x);
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(bits));
        std::cout << hex << '\n';
      }
    }
  }
}
