#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "morva/ccsid/utf8.hpp"

namespace varlin {

using morva::ccsid::is_valid_utf8;
using morva::ccsid::trim_white_space;

// The code point at `at`, joining a surrogate pair and moving `at` past what it used. A lone surrogate
// comes back as it is.
inline char32_t next_code_point(std::u16string_view units, std::size_t& at) {
  char32_t code = units[at++];
  if (code >= 0xD800 && code <= 0xDBFF && at < units.size() && units[at] >= 0xDC00 && units[at] <= 0xDFFF)
    code = 0x10000 + ((code - 0xD800) << 10) + (units[at++] - 0xDC00);
  return code;
}

inline bool is_surrogate(char32_t code) {
  return code >= 0xD800 && code <= 0xDFFF;
}

// Appends UTF-16 code units as UTF-8 to `out` (any container of char or byte with push_back). A lone
// surrogate is written in its three-byte form, which is not valid UTF-8, so a later check refuses it.
template <typename Out>
void append_utf8(std::u16string_view units, Out& out) {
  for (std::size_t at = 0; at < units.size();) morva::ccsid::append_utf8(out, next_code_point(units, at));
}

// UTF-16 as UTF-8, each unpaired surrogate replaced by U+FFFD.
std::string utf8_replacing_lone_surrogates(std::u16string_view units);

// Appends UTF-8 as UTF-16 code units to `out`; a malformed sequence becomes U+FFFD.
void append_utf16(std::string_view text, std::u16string& out);

}  // namespace varlin
