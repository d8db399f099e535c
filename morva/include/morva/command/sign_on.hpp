#pragma once

#include <asio/awaitable.hpp>

#include <cstdint>
#include <string_view>

#include "morva/error.hpp"
#include "morva/secret.hpp"
#include "morva/server/time_limit.hpp"
#include "morva/signon/credentials.hpp"

namespace morva::command {

inline constexpr std::uint16_t kSignonPort = 8476;

// Signs on to the sign-on server at host and port with the user profile and password, and learns the
// server's password level. The connection is closed before this returns. Connecting and each wait for
// the server fail as timed out past the time limit.
asio::awaitable<Result<signon::SignonCredentials>> sign_on(std::string_view host, std::uint16_t port,
                                                           std::string_view user, Secret password,
                                                           server::ConnectionLimits limits = {});

}  // namespace morva::command
