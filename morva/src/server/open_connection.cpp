#include "server/open_connection.hpp"

#include <asio/connect.hpp>
#include <asio/this_coro.hpp>

#include <string>
#include <utility>

namespace morva::server {

using asio::ip::tcp;

asio::awaitable<Result<tcp::socket>> open_connection(std::string_view host, std::uint16_t port,
                                                     const TimeLimit& limit) {
  return open_connection(host, port, limit, system_lookup);
}

asio::awaitable<Result<tcp::socket>> open_connection(std::string_view host, std::uint16_t port,
                                                     const TimeLimit& limit, BlockingLookup lookup) {
  std::string name(host);
  const auto endpoints = co_await look_up(std::move(name), port, limit, std::move(lookup));
  if (!endpoints) co_return std::unexpected(endpoints.error());
  if (endpoints->empty())
    co_return std::unexpected(Error::io(IoErrorKind::not_found, "could not resolve to any address"));
  tcp::socket socket(co_await asio::this_coro::executor);
  const auto connected = co_await within<tcp::endpoint>(
      limit.duration, [&](auto token) { return asio::async_connect(socket, *endpoints, std::move(token)); });
  if (!connected) co_return std::unexpected(timed_out("connecting to", limit));
  if (const auto& [error, endpoint] = *connected; error) co_return std::unexpected(Error::system(error));
  co_return socket;
}

}  // namespace morva::server
