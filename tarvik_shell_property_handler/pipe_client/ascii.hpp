#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace tarvik {

constexpr char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool is_ascii_letter(char c) {
  return ascii_lower(c) >= 'a' && ascii_lower(c) <= 'z';
}

inline bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return ascii_lower(x) == ascii_lower(y); });
}

inline std::string to_ascii_lower(std::string_view text) {
  std::string lower(text);
  std::ranges::transform(lower, lower.begin(), ascii_lower);
  return lower;
}

}  // namespace tarvik
