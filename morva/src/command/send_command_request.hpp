#pragma once

#include "morva/command/command_request.hpp"
#include "morva/error.hpp"
#include "morva/server/time_limit.hpp"

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>

namespace morva::command {

// Encodes the request and writes its packet whole; the packet of the start-server request is wiped
// afterwards, whether the write succeeded or not.
asio::awaitable<Result<void>> send_command_request(asio::ip::tcp::socket& stream, CommandRequest request,
                                                   const server::TimeLimit& limit);

}  // namespace morva::command
