// Byte tables for tests: hex text in, hex text out, and a readable dump of two differing packets.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fake_ibmi {

using Bytes = std::vector<std::uint8_t>;

// "0000 0014 | 00 00 E009" -> bytes. White space and '|' (to mark field groups) are ignored; anything else
// that is not a hex digit, or an odd number of digits, throws std::invalid_argument (a typo in a table).
Bytes from_hex(std::string_view text);

// Bytes as "00 00 00 14 ...", one space between bytes.
std::string to_hex(std::span<const std::uint8_t> bytes);

// Offset of the first byte where the two differ (the shorter length when one is a prefix of the other).
std::size_t first_difference(std::span<const std::uint8_t> expected, std::span<const std::uint8_t> actual);

// Both buffers as 16-byte lines with offsets, lines that differ marked with '*'.
std::string hex_diff(std::span<const std::uint8_t> expected, std::span<const std::uint8_t> actual);

}  // namespace fake_ibmi
