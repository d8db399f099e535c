#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "morva/ccsid/codec.hpp"

namespace morva::ccsid {

// Source-member data is one blank-padded text field of (record length - 12) bytes per record; the
// sequence number and date of each record are not part of it.

// The member's records as lines, each ended by "\n": control characters blanked, trailing white space
// removed.
Result<std::string> decode_source_member(std::span<const std::uint8_t> bytes, Ccsid ccsid,
                                         std::uint64_t record_length);

// One blank-padded field per line of the text ("\n" or "\r\n" ends a line).
Result<std::vector<std::uint8_t>> encode_source_member(std::string_view text, Ccsid ccsid,
                                                       std::uint64_t record_length);

// The text with every C0 and C1 control character (and DEL) replaced by a blank.
std::string blank_controls(std::string_view text);

}  // namespace morva::ccsid
