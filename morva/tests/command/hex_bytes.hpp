#pragma once

#include <cctype>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace morva::command::testing {

// Bytes from hex digits; blanks and line breaks between the digit pairs group fields for the eye.
inline std::vector<std::uint8_t> hex(std::string_view digits) {
  std::vector<std::uint8_t> bytes;
  int high = -1;
  for (const char c : digits) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw std::invalid_argument("not a hex digit");
    const int value = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | value));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd number of hex digits");
  return bytes;
}

}  // namespace morva::command::testing
