#pragma once

#include "morva/error.hpp"

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>

#include <cstdint>
#include <string_view>

namespace morva::command {

// Resolves host and port on their own, so an IPv6 literal needs no brackets, and connects to the
// first address that answers.
asio::awaitable<Result<asio::ip::tcp::socket>> open_connection(std::string_view host, std::uint16_t port);

}  // namespace morva::command
