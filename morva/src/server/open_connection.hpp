#pragma once

#include "morva/error.hpp"
#include "morva/server/time_limit.hpp"
#include "server/detached_lookup.hpp"

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>

#include <cstdint>
#include <string_view>

namespace morva::server {

// Resolves host and port on their own, so an IPv6 literal needs no brackets, and connects to the
// first address that answers. Resolving and connecting each fail as timed out past the limit.
asio::awaitable<Result<asio::ip::tcp::socket>> open_connection(std::string_view host, std::uint16_t port,
                                                               const TimeLimit& limit);

// The same with the lookup given in place of the system's resolver.
asio::awaitable<Result<asio::ip::tcp::socket>> open_connection(std::string_view host, std::uint16_t port,
                                                               const TimeLimit& limit, BlockingLookup lookup);

}  // namespace morva::server
