#include "command/open_connection.hpp"

#include <asio/connect.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include <string>

namespace morva::command {

asio::awaitable<Result<asio::ip::tcp::socket>> open_connection(std::string_view host, std::uint16_t port) {
  auto executor = co_await asio::this_coro::executor;
  asio::ip::tcp::resolver resolver(executor);
  auto [resolve_error, endpoints] = co_await resolver.async_resolve(
      std::string(host), std::to_string(port), asio::ip::tcp::resolver::numeric_service,
      asio::experimental::as_tuple(asio::use_awaitable));
  if (resolve_error) co_return std::unexpected(Error::system(resolve_error));
  asio::ip::tcp::socket socket(executor);
  auto [connect_error, endpoint] =
      co_await asio::async_connect(socket, endpoints, asio::experimental::as_tuple(asio::use_awaitable));
  if (connect_error) co_return std::unexpected(Error::system(connect_error));
  co_return socket;
}

}  // namespace morva::command
