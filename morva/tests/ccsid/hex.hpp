#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morva::ccsid::test {

// Bytes from hex digits; spaces group the digits for the reader.
inline std::vector<std::uint8_t> hex(std::string_view digits) {
  std::vector<std::uint8_t> bytes;
  std::string pair;
  for (const char c : digits) {
    if (c == ' ') continue;
    pair.push_back(c);
    if (pair.size() == 2) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
      pair.clear();
    }
  }
  return bytes;
}

}  // namespace morva::ccsid::test
