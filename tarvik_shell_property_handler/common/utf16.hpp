#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

// Strict decoding: nothing when a surrogate is unpaired.
std::optional<std::string> utf8_from_utf16(std::u16string_view units);

// UTF-8 as UTF-16; a malformed sequence becomes U+FFFD (the callers' texts are valid already).
std::u16string utf16_from_utf8(std::string_view text);

}  // namespace tarvik
