#pragma once

#include "morva/error.hpp"

#include <array>
#include <cstdint>
#include <span>
#include <string>

// The replies that open a remote-command connection.
namespace morva::command {

struct SeedReply {
  std::array<std::uint8_t, 8> server_seed{};
  std::uint8_t password_level = 0;  // 0: the server takes the sign-on's level
};

struct ServerAttributes {
  std::uint32_t ccsid = 0;
  std::uint16_t datastream_level = 0;
};

Result<SeedReply> parse_seed_reply(std::span<const std::uint8_t> packet);
// The server job's name.
Result<std::string> parse_start_server_reply(std::span<const std::uint8_t> packet);
Result<ServerAttributes> parse_attribute_reply(std::span<const std::uint8_t> packet);

}  // namespace morva::command
