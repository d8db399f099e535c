#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "morva/error.hpp"

namespace morva::signon {

inline constexpr std::size_t kUserProfileLength = 10;
using EncodedUserProfile = std::array<std::uint8_t, kUserProfileLength>;

// 1 to 10 bytes of 'A'-'Z', '0'-'9', '#', '$', '@' and '_'; the length is checked first.
Result<void> validate_user_profile(std::span<const std::uint8_t> upper_cased);

// The user profile with ASCII letters upper-cased, checked.
Result<std::string> checked_user_profile(std::string_view user);

// The user profile in EBCDIC (code page 37), upper case, padded with blanks to 10 bytes.
Result<EncodedUserProfile> encode_user_profile(std::string_view user);

}  // namespace morva::signon
