#pragma once

#include "morva/error.hpp"
#include "morva/server/time_limit.hpp"

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace morva::server {

// A lookup of a host's addresses that blocks its thread, as the system's resolver does.
using BlockingLookup =
    std::function<Result<std::vector<asio::ip::tcp::endpoint>>(const std::string& host, std::uint16_t port)>;

// The system's resolver; the port is taken as a number, never a service name.
Result<std::vector<asio::ip::tcp::endpoint>> system_lookup(const std::string& host, std::uint16_t port);

// Runs the lookup on a thread of its own and gives its answer, or fails as timed out past the limit.
// The runtime never waits for that thread: a lookup that outlasts the limit, or the runtime itself,
// ends unheard, and touches nothing of the runtime once it has shut down.
asio::awaitable<Result<std::vector<asio::ip::tcp::endpoint>>> look_up(std::string host, std::uint16_t port,
                                                                      const TimeLimit& limit,
                                                                      BlockingLookup lookup);

}  // namespace morva::server
