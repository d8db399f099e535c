#pragma once

#include <asio/awaitable.hpp>

#include <cstdint>
#include <expected>
#include <type_traits>
#include <utility>
#include <vector>

namespace morva::server {

// One step of a connection's start-up: sends the request, receives one reply packet and parses it.
// `connection` has `send_request(request)` and `receive_reply()`.
template <typename Connection, typename Request, typename Parse>
asio::awaitable<std::invoke_result_t<Parse&, std::vector<std::uint8_t>&>> exchange(Connection& connection,
                                                                                   Request request,
                                                                                   Parse parse) {
  if (auto sent = co_await connection.send_request(std::move(request)); !sent)
    co_return std::unexpected(sent.error());
  auto reply = co_await connection.receive_reply();
  if (!reply) co_return std::unexpected(reply.error());
  co_return parse(*reply);
}

}  // namespace morva::server
