#include "command/send_command_request.hpp"
#include "morva/command/command_client.hpp"
#include "morva/command/connection_replies.hpp"
#include "morva/command/receive_packet.hpp"
#include "morva/log.hpp"
#include "morva/signon/exchange_attributes.hpp"
#include "morva/signon/password_substitute.hpp"
#include "morva/signon/user_profile.hpp"
#include "server/exchange.hpp"
#include "server/open_connection.hpp"

#include <fmt/format.h>

namespace morva::command {

namespace {

// The stream while the connection starts, before a client owns it.
struct StartingConnection {
  asio::ip::tcp::socket& stream;
  const server::TimeLimit& limit;

  asio::awaitable<Result<void>> send_request(CommandRequest request) {
    return send_command_request(stream, std::move(request), limit);
  }
  asio::awaitable<Result<std::vector<std::uint8_t>>> receive_reply() { return receive_packet(stream, limit); }
};

}  // namespace

asio::awaitable<Result<CommandClient>> CommandClient::connect(std::string host, std::uint16_t port,
                                                              const signon::SignonCredentials& credentials,
                                                              server::ConnectionLimits limits) {
  const std::string address = fmt::format("{}:{}", host, port);
  log::info("morva::command", "connecting to remote-command service", {{"address", address}});
  server::TimeLimit limit{"remote-command service at " + address, limits.time_limit};
  auto stream = co_await server::open_connection(host, port, limit);
  if (!stream) co_return std::unexpected(stream.error());

  StartingConnection starting{*stream, limit};
  const std::uint64_t client_seed = signon::client_attributes().seed;
  // Requests are built before each co_await: GCC 12 destroys a temporary in a co_await's arguments
  // twice.
  CommandRequest exchange_seeds = ExchangeSeeds{.client_seed = client_seed};
  const auto seeds = co_await server::exchange(starting, std::move(exchange_seeds), parse_seed_reply);
  if (!seeds) co_return std::unexpected(seeds.error());
  if (seeds->password_level != 0 && seeds->password_level != credentials.password_level)
    co_return fail(fmt::format("remote-command password level {} does not match sign-on level {}",
                               seeds->password_level, credentials.password_level));

  auto substitute = signon::password_substitute(credentials.user, credentials.password,
                                                credentials.password_level, client_seed, seeds->server_seed);
  if (!substitute) co_return std::unexpected(substitute.error());
  const auto user = signon::encode_user_profile(credentials.user);
  if (!user) co_return std::unexpected(user.error());

  CommandRequest start_server = StartServer{.user = *user, .substitute = std::move(*substitute)};
  const auto job_name =
      co_await server::exchange(starting, std::move(start_server), parse_start_server_reply);
  if (!job_name) co_return std::unexpected(job_name.error());
  CommandRequest exchange_attributes = ExchangeAttributes{};
  const auto attributes =
      co_await server::exchange(starting, std::move(exchange_attributes), parse_attribute_reply);
  if (!attributes) co_return std::unexpected(attributes.error());

  co_return CommandClient(std::move(*stream), std::move(limit), *job_name, attributes->ccsid,
                          attributes->datastream_level);
}

}  // namespace morva::command
