#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace morva::ccsid {

// UTF-16 big-endian bytes of a UTF-8 text: no byte-order mark, no terminator. An ill-formed UTF-8
// sequence (which valid text never holds) is written as U+FFFD.
std::vector<std::uint8_t> encode_utf16be(std::string_view text);

// The 16-bit units of big-endian bytes; a trailing odd byte is ignored.
std::vector<std::uint16_t> utf16be_units(std::span<const std::uint8_t> bytes);

}  // namespace morva::ccsid
