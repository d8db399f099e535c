#pragma once

#include <string>
#include <string_view>

#include "common/utf16.hpp"

namespace tarvik {

// wchar_t is a UTF-16 code unit on Windows.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::wstring wide_from_utf8(std::string_view text) {
  const std::u16string units = utf16_from_utf8(text);
  return {units.begin(), units.end()};
}

inline std::u16string_view as_utf16(std::wstring_view text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

}  // namespace tarvik
