#include "unicode_text.hpp"

#include <array>
#include <cstdint>
#include <utility>

namespace varlin {

namespace {

// Decodes one UTF-8 sequence at `pos`; returns the code point and its length, or length 0 when the bytes
// there are not a well-formed sequence.
std::pair<char32_t, std::size_t> decode_utf8(std::string_view text, std::size_t pos) noexcept {
  const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(text[at]); };
  const std::uint8_t lead = byte(pos);
  if (lead < 0x80) return {lead, 1};

  std::size_t length = 0;
  char32_t code = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return {0, 0};
  }
  if (text.size() - pos < length) return {0, 0};
  for (std::size_t i = 1; i < length; ++i) {
    const std::uint8_t next = byte(pos + i);
    if ((next & 0xC0) != 0x80) return {0, 0};
    code = (code << 6) | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {0, 0};
  return {code, length};
}

// Unicode's White_Space property.
bool is_white_space(char32_t code) noexcept {
  constexpr std::array<std::pair<char32_t, char32_t>, 10> kWhiteSpace{{
      {0x0009, 0x000D},
      {0x0020, 0x0020},
      {0x0085, 0x0085},
      {0x00A0, 0x00A0},
      {0x1680, 0x1680},
      {0x2000, 0x200A},
      {0x2028, 0x2029},
      {0x202F, 0x202F},
      {0x205F, 0x205F},
      {0x3000, 0x3000},
  }};
  for (const auto& [first, last] : kWhiteSpace)
    if (code >= first && code <= last) return true;
  return false;
}

}  // namespace

bool is_valid_utf8(std::string_view text) noexcept {
  for (std::size_t pos = 0; pos < text.size();) {
    const auto [code, length] = decode_utf8(text, pos);
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

std::string_view trim_white_space(std::string_view text) noexcept {
  std::size_t begin = text.size();
  std::size_t end = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const auto [code, length] = decode_utf8(text, pos);
    const std::size_t step = length == 0 ? 1 : length;
    if (length == 0 || !is_white_space(code)) {
      if (begin == text.size()) begin = pos;
      end = pos + step;
    }
    pos += step;
  }
  return begin < end ? text.substr(begin, end - begin) : std::string_view{};
}

void append_utf16(std::string_view text, std::u16string& out) {
  for (std::size_t pos = 0; pos < text.size();) {
    auto [code, length] = decode_utf8(text, pos);
    if (length == 0) code = 0xFFFD, length = 1;
    if (code >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    pos += length;
  }
}

}  // namespace varlin
