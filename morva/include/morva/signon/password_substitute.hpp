#pragma once

#include <cstdint>
#include <string_view>

#include "morva/error.hpp"
#include "morva/secret.hpp"
#include "morva/signon/exchange_attributes.hpp"

namespace morva::signon {

inline constexpr std::size_t kDesSubstituteLength = 8;
inline constexpr std::size_t kSha1SubstituteLength = 20;

// What the host servers receive in place of the password: 8 bytes (DES) at password levels 0 and 1,
// 20 bytes (SHA-1) at levels 2 and 3. The seeds enter as their big-endian bytes.
Result<Secret> password_substitute(std::string_view user, const Secret& password, std::uint8_t password_level,
                                   std::uint64_t client_seed, const Seed& server_seed);

}  // namespace morva::signon
