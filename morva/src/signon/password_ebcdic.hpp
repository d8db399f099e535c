#pragma once

#include <cstdint>
#include <optional>

namespace morva::signon {

// The code page 37 byte of an upper-cased character that a level-0 password may hold; the characters
// of a user profile are among them.
std::optional<std::uint8_t> level0_ebcdic_byte(char32_t upper);

}  // namespace morva::signon
