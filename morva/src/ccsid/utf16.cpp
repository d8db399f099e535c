#include "morva/ccsid/utf16.hpp"

#include "ccsid/utf8_reader.hpp"

namespace morva::ccsid {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

void append_unit(std::vector<std::uint8_t>& bytes, char32_t unit) {
  bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
}

}  // namespace

std::vector<std::uint8_t> encode_utf16be(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() * 2);
  for (std::size_t index = 0; index < text.size();) {
    const Utf8Step step = read_utf8(text, index);
    index += step.length;
    const char32_t c = step.kind == Utf8Step::Kind::character ? step.code_point : kReplacementCharacter;
    if (c < 0x10000) {
      append_unit(bytes, c);
    } else {
      append_unit(bytes, 0xD800 + ((c - 0x10000) >> 10));
      append_unit(bytes, 0xDC00 + (c & 0x3FF));
    }
  }
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
