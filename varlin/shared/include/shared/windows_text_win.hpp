#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "morva/ccsid/utf16.hpp"
#include "morva/secret.hpp"

namespace varlin {

// Wide text whose buffer is zeroed when released (for a password typed or read from the environment).
using WipedWide = std::vector<wchar_t, morva::WipingAllocator<wchar_t>>;

inline std::u16string_view as_utf16(const wchar_t* text, std::size_t length) {
  return {reinterpret_cast<const char16_t*>(text), length};
}

inline std::wstring to_wide(std::string_view utf8) {
  std::u16string units;
  morva::ccsid::append_utf16_of_utf8(utf8, units);
  return {units.begin(), units.end()};
}

// An environment variable's value: absent when unset, empty when set to nothing.
std::optional<WipedWide> read_environment(const wchar_t* name);

}  // namespace varlin
