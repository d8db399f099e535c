#pragma once

#include <asio/awaitable.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/deferred.hpp>
#include <asio/experimental/parallel_group.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>

#include "morva/error.hpp"

namespace morva::server {

// How long an exchange with an IBM i server may make no progress: a connect, a write that takes no
// byte, a wait for reply bytes. Past it the exchange fails as timed out.
inline constexpr std::chrono::milliseconds kExchangeTimeLimit = std::chrono::seconds(60);

// How far one connection's exchanges may go; tests make the bound small.
struct ConnectionLimits {
  // Connecting and every write or wait for reply bytes fail as timed out when they make no progress
  // for this long.
  std::chrono::milliseconds time_limit = kExchangeTimeLimit;
};

// The bound of one connection's exchanges, and the server that its time-out errors name.
struct TimeLimit {
  std::string server;  // such as "file service at ibmi:8473"
  std::chrono::milliseconds duration = kExchangeTimeLimit;
};

// The timed-out I/O error of an operation on the server: "timed out waiting for file service at ...".
Error timed_out(std::string_view operation, const TimeLimit& limit);

// Runs one asynchronous operation, which `start` initiates with the completion token it is given, and
// cancels it when it has not ended within the limit. Gives its outcome, or nothing when it timed out.
template <typename... Values, typename Start>
asio::awaitable<std::optional<std::tuple<std::error_code, Values...>>> within(std::chrono::milliseconds limit,
                                                                              Start start) {
  asio::steady_timer timer(co_await asio::this_coro::executor, limit);
  auto [order, outcome, timer_error] =
      co_await asio::experimental::make_parallel_group(
          start(asio::experimental::as_tuple(asio::experimental::deferred)),
          timer.async_wait(asio::experimental::deferred))
          .async_wait(asio::experimental::wait_for_one(), asio::use_awaitable);
  if (order[0] == 1) co_return std::nullopt;
  co_return std::move(outcome);
}

}  // namespace morva::server
