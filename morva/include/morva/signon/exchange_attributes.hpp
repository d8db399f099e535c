#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "morva/error.hpp"

namespace morva::signon {

using Seed = std::array<std::uint8_t, 8>;

struct SignonClientAttributes {
  std::uint64_t seed = 0;  // milliseconds since 1970, 0 before it
  std::uint32_t version = 1;
  std::uint16_t datastream_level = 10;
};

// The client's attributes, its seed taken from the system clock.
SignonClientAttributes client_attributes();
// The same for a given time (the seed is 0 before 1970).
SignonClientAttributes client_attributes(std::chrono::system_clock::time_point now);

// The 52-byte exchange-attributes request.
std::vector<std::uint8_t> encode_exchange_attributes(const SignonClientAttributes& attributes);

struct SignonAttributes {
  std::uint32_t return_code = 0;
  std::uint16_t server_level = 0;
  std::optional<std::uint8_t> password_level;
  std::optional<Seed> server_seed;
};

// Checks and reads the exchange-attributes reply, given whole.
Result<SignonAttributes> parse_exchange_attributes_reply(std::span<const std::uint8_t> packet);

}  // namespace morva::signon
