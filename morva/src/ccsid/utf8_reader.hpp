#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morva::ccsid {

// One step over UTF-8 bytes. An invalid step's length is the maximal subpart of a well-formed
// sequence (1 to 3 bytes); an incomplete step is a well-formed prefix cut off by the end of the data.
struct Utf8Step {
  enum class Kind { character, invalid, incomplete };
  Kind kind;
  char32_t code_point;
  std::size_t length;
};

// Reads the sequence that starts at `index` (which must be less than the size).
Utf8Step read_utf8(std::string_view bytes, std::size_t index) noexcept;

// Appends the UTF-8 form of a code point (at most U+10FFFF, not a surrogate).
void append_utf8(std::string& text, char32_t code_point);

}  // namespace morva::ccsid
