#include "unicode_text.hpp"

namespace varlin {

void append_utf16(std::string_view text, std::u16string& out) {
  morva::ccsid::for_each_utf16_unit(text, [&](char16_t unit) { out.push_back(unit); });
}

}  // namespace varlin
