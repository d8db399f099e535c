// Text in the CCSIDs a fake IBM i keeps its data in, converted by glibc's iconv: a source of the code
// pages that is independent of the client's own codecs.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "fake_ibmi/hex.hpp"

namespace fake_ibmi {

// Whether the fake can hold text in this CCSID.
bool is_known_ccsid(std::uint16_t ccsid);

// UTF-8 text in the CCSID; nothing when a character has no place in it or the CCSID is unknown.
std::optional<Bytes> encode_text(std::string_view text, std::uint16_t ccsid);
// Bytes of the CCSID as UTF-8 text; nothing when they are not valid text of it.
std::optional<std::string> decode_text(std::span<const std::uint8_t> bytes, std::uint16_t ccsid);

// The text in the CCSID, padded with the CCSID's blank to exactly `width` bytes; nothing when it does
// not fit or cannot be encoded.
std::optional<Bytes> encode_field(std::string_view text, std::uint16_t ccsid, std::size_t width);

// The blank (U+0020) of the CCSID: one byte, or two for UTF-16.
Bytes blank_of(std::uint16_t ccsid);

// The Unicode characters of UTF-8 text; nothing when it is not valid UTF-8.
std::optional<std::u32string> code_points(std::string_view text);

// Decoded text without the blanks that pad it on the right.
std::string trim_right(std::string text);

}  // namespace fake_ibmi
