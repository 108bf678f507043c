#include "core/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <version>

namespace tarven::core {
namespace {

// The shortest decimal that reads back as v: its digits (no point, no trailing zeros) and the
// power of ten of the first digit. printf rounds correctly, so the first precision whose text
// reads back is the shortest, and its digits are the closest of that length.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal shortest_decimal(double v) {
  char buffer[40];
  for (int precision = 1;; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, v);
    if (precision == 17 || std::strtod(buffer, nullptr) == v) break;
  }
  Decimal d;
  const char* p = buffer + (buffer[0] == '-' ? 1 : 0);
  for (; *p != 'e'; ++p)
    if (*p != '.') d.digits += *p;
  d.exponent = std::atoi(p + 1);
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

std::string fixed_of(const Decimal& d) {
  const int n = static_cast<int>(d.digits.size());
  if (d.exponent < 0)
    return "0." + std::string(static_cast<std::size_t>(-d.exponent - 1), '0') + d.digits;
  if (d.exponent >= n - 1)
    return d.digits + std::string(static_cast<std::size_t>(d.exponent - n + 1), '0');
  return d.digits.substr(0, static_cast<std::size_t>(d.exponent) + 1) + "." +
         d.digits.substr(static_cast<std::size_t>(d.exponent) + 1);
}

std::string scientific_of(const Decimal& d) {
  std::string text(1, d.digits[0]);
  if (d.digits.size() > 1) text.append(".").append(d.digits, 1);
  const std::string power = std::to_string(std::abs(d.exponent));
  text.append(d.exponent < 0 ? "e-" : "e+");
  if (power.size() < 2) text.push_back('0');
  return text.append(power);
}

// Whole numbers from 2^53 on are written in fixed notation with all their digits, which only
// the exact value gives.
constexpr double kExactWhole = 9007199254740992.0;

std::string exact_whole(double v) {
  char buffer[320];
  std::snprintf(buffer, sizeof buffer, "%.0f", v);
  return buffer;
}

std::string special(double v) {
  if (std::isnan(v)) return "nan";
  return v < 0 ? "-inf" : "inf";
}

}  // namespace

std::string shortest_text_portable(double v) {
  if (!std::isfinite(v)) return special(v);
  if (v == 0) return std::signbit(v) ? "-0" : "0";
  const std::string sign = v < 0 ? "-" : "";
  const Decimal d = shortest_decimal(v);
  const std::string fixed = std::fabs(v) >= kExactWhole ? exact_whole(std::fabs(v)) : fixed_of(d);
  const std::string scientific = scientific_of(d);
  return sign + (fixed.size() <= scientific.size() ? fixed : scientific);
}

std::string shortest_fixed_text_portable(double v) {
  if (!std::isfinite(v)) return special(v);
  if (v == 0) return std::signbit(v) ? "-0" : "0";
  const std::string sign = v < 0 ? "-" : "";
  if (std::fabs(v) >= kExactWhole) return sign + exact_whole(std::fabs(v));
  return sign + fixed_of(shortest_decimal(v));
}

#if defined(__cpp_lib_to_chars)

std::string shortest_text(double v) {
  char buffer[400];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : shortest_text_portable(v);
}

std::string shortest_fixed_text(double v) {
  char buffer[400];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
  return ec == std::errc() ? std::string(buffer, end) : shortest_fixed_text_portable(v);
}

#else

std::string shortest_text(double v) {
  return shortest_text_portable(v);
}

std::string shortest_fixed_text(double v) {
  return shortest_fixed_text_portable(v);
}

#endif

}  // namespace tarven::core
