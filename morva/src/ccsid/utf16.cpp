#include "morva/ccsid/utf16.hpp"

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

std::string utf8_replacing_lone_surrogates(std::u16string_view units) {
  constexpr char32_t kReplacement = 0xFFFD;
  std::string text;
  text.reserve(units.size());
  for (std::size_t at = 0; at < units.size();) {
    const char32_t code = next_code_point(units, at);
    const bool lone = is_high_surrogate(code) || is_low_surrogate(code);
    append_utf8(text, lone ? kReplacement : code);
  }
  return text;
}

void append_utf16_of_utf8(std::string_view text, std::u16string& out) {
  for_each_utf16_unit(text, [&](char16_t unit) { out.push_back(unit); });
}

}  // namespace morva::ccsid
