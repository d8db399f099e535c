#include "common/utf16.hpp"

namespace tarvik {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_high_surrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low_surrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

void append_utf8(char32_t code, std::string& out) {
  const auto byte = [&out](char32_t value) { out.push_back(static_cast<char>(value)); };
  if (code < 0x80) {
    byte(code);
  } else if (code < 0x800) {
    byte(0xC0 | (code >> 6));
    byte(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    byte(0xE0 | (code >> 12));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  } else {
    byte(0xF0 | (code >> 18));
    byte(0x80 | ((code >> 12) & 0x3F));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  }
}

void append_utf16(char32_t code, std::u16string& out) {
  if (code < 0x10000) {
    out.push_back(static_cast<char16_t>(code));
  } else {
    out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
  }
}

// Decodes the UTF-8 sequence at `at`, moving past it; U+FFFD for a malformed one (one byte consumed).
char32_t next_code_point(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  if (lead < 0x80) return lead;
  int length = 0;
  char32_t code = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 1, code = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 2, code = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 3, code = lead & 0x07, least = 0x10000;
  } else {
    return kReplacement;
  }
  std::size_t next = at;
  for (int i = 0; i < length; ++i, ++next) {
    if (next >= text.size() || (static_cast<unsigned char>(text[next]) & 0xC0) != 0x80) return kReplacement;
    code = (code << 6) | (static_cast<unsigned char>(text[next]) & 0x3F);
  }
  if (code < least || code > 0x10FFFF || is_high_surrogate(code) || is_low_surrogate(code))
    return kReplacement;
  at = next;
  return code;
}

}  // namespace

std::optional<std::string> utf8_from_utf16(std::u16string_view units) {
  std::string text;
  text.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t code = units[i];
    if (is_high_surrogate(code) && i + 1 < units.size() && is_low_surrogate(units[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (is_high_surrogate(code) || is_low_surrogate(code)) {
      return std::nullopt;
    }
    append_utf8(code, text);
  }
  return text;
}

std::u16string utf16_from_utf8(std::string_view text) {
  std::u16string units;
  units.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) append_utf16(next_code_point(text, at), units);
  return units;
}

}  // namespace tarvik
