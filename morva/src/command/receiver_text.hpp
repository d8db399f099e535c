#pragma once

#include "morva/error.hpp"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace morva::command {

// A text field of a receiver: `length` bytes from `offset`.
struct TextField {
  std::string* text;
  std::size_t offset;
  std::size_t length;
};

// Decodes the fields in order in `ccsid`, each trimmed of white space at both ends; the first
// failure ends the decoding. The caller has checked that every field lies inside the receiver.
Result<void> decode_text_fields(std::span<const std::uint8_t> receiver, std::uint16_t ccsid,
                                std::initializer_list<TextField> fields);

}  // namespace morva::command
