#include "server/open_connection.hpp"

#include <asio/connect.hpp>
#include <asio/experimental/concurrent_channel.hpp>
#include <asio/this_coro.hpp>

#include <memory>
#include <string>

namespace morva::server {

namespace {

using asio::ip::tcp;

// The resolver cannot be cancelled: a resolution that outlasts the limit is left to end unheard.
asio::awaitable<Result<tcp::resolver::results_type>> resolve(std::string_view host, std::uint16_t port,
                                                             const TimeLimit& limit) {
  using Answer = asio::experimental::concurrent_channel<void(std::error_code, tcp::resolver::results_type)>;
  const auto executor = co_await asio::this_coro::executor;
  auto answer = std::make_shared<Answer>(executor, 1);
  auto resolver = std::make_shared<tcp::resolver>(executor);
  resolver->async_resolve(std::string(host), std::to_string(port), tcp::resolver::numeric_service,
                          [answer, resolver](std::error_code error, tcp::resolver::results_type results) {
                            answer->try_send(error, std::move(results));
                          });
  auto resolved = co_await within<tcp::resolver::results_type>(
      limit.duration, [&answer](auto token) { return answer->async_receive(std::move(token)); });
  if (!resolved) co_return std::unexpected(timed_out("connecting to", limit));
  auto [error, results] = std::move(*resolved);
  if (error) co_return std::unexpected(Error::system(error));
  if (results.empty())
    co_return std::unexpected(Error::io(IoErrorKind::not_found, "could not resolve to any address"));
  co_return std::move(results);
}

}  // namespace

asio::awaitable<Result<tcp::socket>> open_connection(std::string_view host, std::uint16_t port,
                                                     const TimeLimit& limit) {
  const auto endpoints = co_await resolve(host, port, limit);
  if (!endpoints) co_return std::unexpected(endpoints.error());
  tcp::socket socket(co_await asio::this_coro::executor);
  const auto connected = co_await within<tcp::endpoint>(
      limit.duration, [&](auto token) { return asio::async_connect(socket, *endpoints, std::move(token)); });
  if (!connected) co_return std::unexpected(timed_out("connecting to", limit));
  if (const auto& [error, endpoint] = *connected; error) co_return std::unexpected(Error::system(error));
  co_return socket;
}

}  // namespace morva::server
