#pragma once

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>

#include <cstdint>
#include <vector>

#include "morva/error.hpp"
#include "morva/server/time_limit.hpp"

namespace morva::command {

// Reads one whole packet from a sign-on or remote-command connection.
asio::awaitable<Result<std::vector<std::uint8_t>>> receive_packet(asio::ip::tcp::socket& stream,
                                                                  const server::TimeLimit& limit);

}  // namespace morva::command
