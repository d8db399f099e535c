#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varlin {

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code points above U+10FFFF).
bool is_valid_utf8(std::string_view text) noexcept;

// `text` without leading and trailing Unicode White_Space; bytes that are not UTF-8 count as text.
std::string_view trim_white_space(std::string_view text) noexcept;

// Appends UTF-16 code units as UTF-8 to `out` (any container of char or byte with push_back). A lone
// surrogate is written in its three-byte form, which is not valid UTF-8, so a later check refuses it.
template <typename Out>
void append_utf8(std::u16string_view units, Out& out) {
  using Byte = typename Out::value_type;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t code = units[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    if (code < 0x80) {
      out.push_back(static_cast<Byte>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<Byte>(0xC0 | (code >> 6)));
      out.push_back(static_cast<Byte>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<Byte>(0xE0 | (code >> 12)));
      out.push_back(static_cast<Byte>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<Byte>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<Byte>(0xF0 | (code >> 18)));
      out.push_back(static_cast<Byte>(0x80 | ((code >> 12) & 0x3F)));
      out.push_back(static_cast<Byte>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<Byte>(0x80 | (code & 0x3F)));
    }
  }
}

// Appends UTF-8 as UTF-16 code units to `out`.
void append_utf16(std::string_view text, std::u16string& out);

}  // namespace varlin
