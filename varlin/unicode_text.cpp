#include "unicode_text.hpp"

namespace varlin {

void append_utf16(std::string_view text, std::u16string& out) {
  morva::ccsid::for_each_utf16_unit(text, [&](char16_t unit) { out.push_back(unit); });
}

std::string utf8_replacing_lone_surrogates(std::u16string_view units) {
  constexpr char32_t kReplacement = 0xFFFD;
  std::string text;
  text.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t code = units[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacement;
    }
    morva::ccsid::append_utf8(text, code);
  }
  return text;
}

}  // namespace varlin
