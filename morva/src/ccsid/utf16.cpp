#include "morva/ccsid/utf16.hpp"

#include "morva/ccsid/utf8.hpp"

namespace morva::ccsid {
std::vector<std::uint8_t> encode_utf16be(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() * 2);
  for_each_utf16_unit(text, [&](char16_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  });
  return bytes;
}

std::vector<std::uint16_t> utf16be_units(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint16_t> units(bytes.size() / 2);
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<std::uint16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
  }
  return units;
}

}  // namespace morva::ccsid
