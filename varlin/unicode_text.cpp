#include "unicode_text.hpp"

namespace varlin {

void append_utf16(std::string_view text, std::u16string& out) {
  morva::ccsid::for_each_utf16_unit(text, [&](char16_t unit) { out.push_back(unit); });
}

std::string utf8_replacing_lone_surrogates(std::u16string_view units) {
  constexpr char32_t kReplacement = 0xFFFD;
  std::string text;
  text.reserve(units.size());
  for (std::size_t at = 0; at < units.size();) {
    const char32_t code = next_code_point(units, at);
    morva::ccsid::append_utf8(text, is_surrogate(code) ? kReplacement : code);
  }
  return text;
}

}  // namespace varlin
