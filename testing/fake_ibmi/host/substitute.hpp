// The password substitute with which a client proves a password to the IBM i host servers, computed
// here so that the fake can check it: DES at password levels 0 and 1, SHA-1 at levels 2 and 3.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fake_ibmi/hex.hpp"

namespace fake_ibmi {

using Seed = std::array<std::uint8_t, 8>;

// The substitute of this user profile and password for the two seeds, or nothing when the password
// cannot be used at the level (so that no substitute proves it) or the level is not 0 to 3.
std::optional<Bytes> expected_substitute(std::string_view user, std::string_view password, std::uint8_t level,
                                         const Seed& client_seed, const Seed& server_seed);

}  // namespace fake_ibmi
