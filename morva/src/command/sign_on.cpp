#include "morva/command/sign_on.hpp"

#include <fmt/format.h>
#include <asio/experimental/as_tuple.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/use_awaitable.hpp>

#include <string>

#include "morva/command/receive_packet.hpp"
#include "morva/log.hpp"
#include "morva/server/packet_stream.hpp"
#include "morva/signon/exchange_attributes.hpp"
#include "morva/signon/return_code_text.hpp"
#include "morva/signon/signon_info.hpp"
#include "server/open_connection.hpp"

namespace morva::command {
namespace {

constexpr std::string_view kTarget = "morva::command";

// Exchanges attributes and sends the sign-on information; returns the server's password level.
asio::awaitable<Result<std::uint8_t>> exchange(asio::ip::tcp::socket& socket, std::string_view user,
                                               const Secret& password, const server::TimeLimit& limit) {
  const signon::SignonClientAttributes client = signon::client_attributes();
  if (auto sent = co_await server::write_all(socket, signon::encode_exchange_attributes(client), limit);
      !sent) {
    co_return std::unexpected(sent.error());
  }
  auto reply = co_await receive_packet(socket, limit);
  if (!reply) co_return std::unexpected(reply.error());
  const auto attributes = signon::parse_exchange_attributes_reply(*reply);
  if (!attributes) co_return std::unexpected(attributes.error());
  if (attributes->return_code != 0) {
    co_return std::unexpected(Error::message(
        fmt::format("sign-on attribute exchange failed with 0x{:08X}", attributes->return_code)));
  }
  if (!attributes->password_level) {
    co_return std::unexpected(Error::message("sign-on server did not return a password level"));
  }
  if (!attributes->server_seed) {
    co_return std::unexpected(Error::message("sign-on server did not return a server seed"));
  }

  {
    const auto info = signon::build_signon_info(user, password, *attributes->password_level, client.seed,
                                                *attributes->server_seed, attributes->server_level);
    if (!info) co_return std::unexpected(info.error());
    const auto request = signon::encode_signon_info(*info);
    if (!request) co_return std::unexpected(request.error());
    // The request's buffer and the substitute zero themselves when released, whatever the write did.
    if (auto sent = co_await server::write_all(socket, *request, limit); !sent)
      co_return std::unexpected(sent.error());
  }

  reply = co_await receive_packet(socket, limit);
  if (!reply) co_return std::unexpected(reply.error());
  const auto return_code = signon::parse_signon_info_reply(*reply);
  if (!return_code) co_return std::unexpected(return_code.error());
  if (*return_code != 0) {
    co_return std::unexpected(
        Error::message(fmt::format("{} (0x{:08X})", signon::return_code_text(*return_code), *return_code)));
  }
  co_return *attributes->password_level;
}

}  // namespace

asio::awaitable<Result<signon::SignonCredentials>> sign_on(std::string_view host, std::uint16_t port,
                                                           std::string_view user, Secret password,
                                                           server::ConnectionLimits limits) {
  signon::SignonCredentials credentials{std::string(user), std::move(password), 0};
  const std::string address = fmt::format("{}:{}", host, port);
  log::info(kTarget, "connecting to sign-on service", {{"address", address}});
  const server::TimeLimit limit{"sign-on service at " + address, limits.time_limit};
  auto socket = co_await server::open_connection(host, port, limit);
  if (!socket) co_return std::unexpected(socket.error());
  const auto level = co_await exchange(*socket, credentials.user, credentials.password, limit);
  std::error_code ignored;
  socket->close(ignored);
  if (!level) co_return std::unexpected(level.error());
  credentials.password_level = *level;
  co_return credentials;
}

}  // namespace morva::command
