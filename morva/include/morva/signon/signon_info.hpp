#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "morva/error.hpp"
#include "morva/secret.hpp"
#include "morva/signon/exchange_attributes.hpp"
#include "morva/signon/user_profile.hpp"

namespace morva::signon {

struct SignonInfo {
  Secret substitute;  // 8 bytes (DES) or 20 (SHA-1)
  EncodedUserProfile user{};
  std::uint16_t server_level = 0;

  SignonInfo() = default;
  SignonInfo(Secret substitute_bytes, const EncodedUserProfile& encoded_user, std::uint16_t level)
      : substitute(std::move(substitute_bytes)), user(encoded_user), server_level(level) {}
  SignonInfo(SignonInfo&&) noexcept = default;
  SignonInfo& operator=(SignonInfo&&) noexcept = default;
  ~SignonInfo() { wipe(user.data(), user.size()); }
};

Result<SignonInfo> build_signon_info(std::string_view user, const Secret& password,
                                     std::uint8_t password_level, std::uint64_t client_seed,
                                     const Seed& server_seed, std::uint16_t server_level);

// The sign-on information request; its buffer zeroes itself when released.
Result<WipedBytes> encode_signon_info(const SignonInfo& info);

// Checks the sign-on information reply, given whole, and returns its return code.
Result<std::uint32_t> parse_signon_info_reply(std::span<const std::uint8_t> packet);

}  // namespace morva::signon
