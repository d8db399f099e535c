#pragma once

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>

#include <cstdint>
#include <vector>

#include "morva/error.hpp"

namespace morva::command {

// Reads one whole packet from a sign-on or remote-command connection.
asio::awaitable<Result<std::vector<std::uint8_t>>> receive_packet(asio::ip::tcp::socket& stream);

}  // namespace morva::command
