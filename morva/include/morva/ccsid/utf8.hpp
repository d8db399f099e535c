#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morva::ccsid {

// One step over UTF-8 bytes. An invalid step's length is the maximal subpart of a well-formed
// sequence (1 to 3 bytes); an incomplete step is a well-formed prefix cut off by the end of the data.
struct Utf8Step {
  enum class Kind { character, invalid, incomplete };
  Kind kind;
  char32_t code_point;
  std::size_t length;
};

// Reads the sequence that starts at `index` (which must be less than the size).
Utf8Step read_utf8(std::string_view bytes, std::size_t index) noexcept;

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code points above U+10FFFF).
bool is_valid_utf8(std::string_view text) noexcept;

// `text` without leading and trailing Unicode White_Space; bytes that are not UTF-8 count as text.
std::string_view trim_white_space(std::string_view text) noexcept;

// Appends the UTF-8 form of a code point to any container of char or bytes. A surrogate comes out
// in its three-byte form, which is not valid UTF-8, so a later check refuses it.
template <typename Out>
void append_utf8(Out& out, char32_t code_point) {
  using Byte = typename Out::value_type;
  if (code_point < 0x80) {
    out.push_back(static_cast<Byte>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<Byte>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<Byte>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<Byte>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<Byte>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<Byte>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<Byte>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<Byte>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<Byte>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<Byte>(0x80 | (code_point & 0x3F)));
  }
}

// `text` with every character replaced by `map` of its code point; bytes that are not UTF-8 stay as
// they are.
template <typename Map>
std::string map_code_points(std::string_view text, Map map) {
  std::string mapped;
  mapped.reserve(text.size());
  for (std::size_t index = 0; index < text.size();) {
    const Utf8Step step = read_utf8(text, index);
    if (step.kind == Utf8Step::Kind::character) {
      append_utf8(mapped, map(step.code_point));
    } else {
      mapped.append(text.substr(index, step.length));
    }
    index += step.length;
  }
  return mapped;
}

// Calls `emit` with each UTF-16 code unit of `text`; a malformed sequence becomes U+FFFD.
template <typename Emit>
void for_each_utf16_unit(std::string_view text, Emit emit) {
  for (std::size_t index = 0; index < text.size();) {
    const Utf8Step step = read_utf8(text, index);
    index += step.length;
    const char32_t c = step.kind == Utf8Step::Kind::character ? step.code_point : U'\uFFFD';
    if (c < 0x10000) {
      emit(static_cast<char16_t>(c));
    } else {
      emit(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      emit(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
  }
}

}  // namespace morva::ccsid
