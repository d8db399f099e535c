#include "morva/ccsid/codec.hpp"
#include "morva/ccsid/utf16.hpp"
#include "morva/ccsid/utf8.hpp"

namespace morva::ccsid {

Result<std::string> Ccsid1200::decode(std::span<const std::uint8_t> bytes) const {
  if (bytes.size() % 2 != 0) return fail("UTF-16 data has an odd byte length");
  const auto unit_at = [&](std::size_t i) { return char32_t{bytes[2 * i]} << 8 | bytes[2 * i + 1]; };
  const std::size_t units = bytes.size() / 2;
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < units; ++i) {
    char32_t code_point = unit_at(i);
    if (is_high_surrogate(code_point) && i + 1 < units && is_low_surrogate(unit_at(i + 1))) {
      code_point = join_surrogates(code_point, unit_at(++i));
    } else if (is_high_surrogate(code_point) || is_low_surrogate(code_point)) {
      return fail("invalid UTF-16 data: invalid utf-16: lone surrogate found");
    }
    append_utf8(text, code_point);
  }
  return text;
}

Result<std::vector<std::uint8_t>> Ccsid1200::encode(std::string_view text) const {
  return encode_utf16be(text);
}

}  // namespace morva::ccsid
