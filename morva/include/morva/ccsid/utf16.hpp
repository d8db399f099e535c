#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "morva/ccsid/utf8.hpp"

namespace morva::ccsid {

// UTF-16 big-endian bytes of a UTF-8 text: no byte-order mark, no terminator. An ill-formed UTF-8
// sequence (which valid text never holds) is written as U+FFFD.
std::vector<std::uint8_t> encode_utf16be(std::string_view text);

// The 16-bit units of big-endian bytes; a trailing odd byte is ignored.
std::vector<std::uint16_t> utf16be_units(std::span<const std::uint8_t> bytes);

constexpr bool is_high_surrogate(char32_t unit) noexcept {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool is_low_surrogate(char32_t unit) noexcept {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The code point of a high and a low surrogate.
constexpr char32_t join_surrogates(char32_t high, char32_t low) noexcept {
  return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// The code point at `at`, joining a surrogate pair and moving `at` past what it used. A lone surrogate
// comes back as it is.
inline char32_t next_code_point(std::u16string_view units, std::size_t& at) {
  const char32_t code = units[at++];
  if (is_high_surrogate(code) && at < units.size() && is_low_surrogate(units[at]))
    return join_surrogates(code, units[at++]);
  return code;
}

// Appends UTF-16 code units as UTF-8 to `out` (any container of char or byte with push_back). A lone
// surrogate is written in its three-byte form, which is not valid UTF-8, so a later check refuses it.
template <typename Out>
void append_utf8_of_utf16(std::u16string_view units, Out& out) {
  for (std::size_t at = 0; at < units.size();) append_utf8(out, next_code_point(units, at));
}

// UTF-16 as UTF-8, each unpaired surrogate replaced by U+FFFD.
std::string utf8_replacing_lone_surrogates(std::u16string_view units);

// Appends UTF-8 as UTF-16 code units to `out`; a malformed sequence becomes U+FFFD.
void append_utf16_of_utf8(std::string_view text, std::u16string& out);

}  // namespace morva::ccsid
