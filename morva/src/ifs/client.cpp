#include "morva/ifs/client.hpp"

#include "ifs/find_item.hpp"
#include "morva/ccsid/server_job_name.hpp"
#include "morva/log.hpp"
#include "morva/signon/password_substitute.hpp"
#include "morva/signon/user_profile.hpp"
#include "server/exchange.hpp"
#include "server/open_connection.hpp"

#include <fmt/format.h>

#include <chrono>

namespace morva::ifs {

namespace {

constexpr std::uint16_t kSeedReplyId = 0xF001;
constexpr std::uint64_t kSeedReplyMinimum = 32;
constexpr std::uint16_t kStartReplyId = 0xF002;
constexpr std::uint64_t kStartReplyMinimum = 24;
constexpr std::uint16_t kAttributeReplyId = 0x8009;
constexpr std::uint64_t kAttributeReplyMinimum = 38;

constexpr std::uint16_t kCpJobName = 0x111F;
// The job name starts 4 bytes into the item's data.
constexpr std::uint64_t kJobNameOffset = 10;
constexpr std::uint16_t kCpCcsidList = 0x000A;
constexpr std::uint64_t kCcsidItemOffset = 30;

std::uint64_t client_seed() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
  return milliseconds < 0 ? 0 : static_cast<std::uint64_t>(milliseconds);
}

struct SeedReply {
  std::uint8_t password_level;
  std::array<std::uint8_t, 8> server_seed;
};

Result<SeedReply> parse_seed_reply(Packet packet) {
  if (auto checked = check_reply(packet, kSeedReplyId, kSeedReplyMinimum); !checked)
    return std::unexpected(checked.error());
  auto code = read_u32(packet, 20);
  if (!code) return std::unexpected(code.error());
  if (*code != 0) return fail(fmt::format("file-service seed exchange failed with 0x{:08X}", *code));
  SeedReply reply{packet[5], {}};
  std::copy_n(packet.begin() + 24, reply.server_seed.size(), reply.server_seed.begin());
  return reply;
}

std::string trim_trailing_space(std::string text) {
  const auto end = text.find_last_not_of(" \t\n\v\f\r");
  text.erase(end == std::string::npos ? 0 : end + 1);
  return text;
}

Result<std::string> parse_start_reply(Packet packet) {
  if (auto checked = check_reply(packet, kStartReplyId, kStartReplyMinimum); !checked)
    return std::unexpected(checked.error());
  auto code = read_u32(packet, 20);
  if (!code) return std::unexpected(code.error());
  if (*code != 0) return fail(fmt::format("file-service authentication failed with 0x{:08X}", *code));
  auto item = find_item(packet, kStartReplyMinimum, [](const Item& candidate) {
    return candidate.code_point == kCpJobName && candidate.length >= kJobNameOffset;
  });
  if (!item) return std::unexpected(item.error());
  if (!*item) return fail("file-service start reply did not include a job name");
  const auto name = packet.subspan((*item)->offset + kJobNameOffset, (*item)->length - kJobNameOffset);
  return trim_trailing_space(ccsid::decode_server_job_name(name));
}

struct Attributes {
  std::uint16_t datastream_level;
  std::uint32_t data_block_size;
  std::uint16_t ccsid;
};

Result<Attributes> parse_attribute_reply(Packet packet) {
  if (auto checked = check_reply(packet, kAttributeReplyId, kAttributeReplyMinimum); !checked)
    return std::unexpected(checked.error());
  // The minimum length puts an item head at the CCSID item's offset.
  auto item = find_item(packet, kCcsidItemOffset, [](const Item&) { return true; });
  if (!item) return std::unexpected(item.error());
  if ((*item)->length <= 7 || (*item)->code_point != kCpCcsidList)
    return fail("file-service attribute reply has no preferred CCSID");
  auto ccsid = read_u16(packet, kCcsidItemOffset + 6);
  auto level = read_u16(packet, 22);
  auto block_size = read_u32(packet, 26);
  if (!ccsid) return std::unexpected(ccsid.error());
  if (!level) return std::unexpected(level.error());
  if (!block_size) return std::unexpected(block_size.error());
  return Attributes{*level, *block_size, *ccsid};
}

}  // namespace

asio::awaitable<Result<IfsClient>> IfsClient::connect(std::string host, std::uint16_t port, std::string user,
                                                      const Secret& password, std::uint8_t password_level,
                                                      server::ConnectionLimits limits,
                                                      std::uint64_t max_chain_replies) {
  const std::string address = fmt::format("{}:{}", host, port);
  log::info("morva::ifs", "connecting to file service", {{"address", address}});

  server::TimeLimit time_limit{"file service at " + address, limits.time_limit};
  auto stream = co_await server::open_connection(host, port, time_limit);
  if (!stream) co_return std::unexpected(stream.error());
  IfsClient client{std::move(*stream), std::move(time_limit), max_chain_replies};

  const std::uint64_t seed = client_seed();
  IfsRequest seeds{ExchangeSeeds{seed}};
  const auto seed_reply = co_await server::exchange(client, std::move(seeds), parse_seed_reply);
  if (!seed_reply) co_return std::unexpected(seed_reply.error());
  if (seed_reply->password_level != 0 && seed_reply->password_level != password_level)
    co_return fail(fmt::format("file-service password level {} does not match sign-on level {}",
                               seed_reply->password_level, password_level));

  auto substitute =
      signon::password_substitute(user, password, password_level, seed, seed_reply->server_seed);
  if (!substitute) co_return std::unexpected(substitute.error());
  const auto profile = signon::encode_user_profile(user);
  if (!profile) co_return std::unexpected(profile.error());
  // Named: GCC 12 destroys a temporary inside a co_await expression twice.
  IfsRequest start{StartServer{std::move(*substitute), *profile}};
  auto job_name = co_await server::exchange(client, std::move(start), parse_start_reply);
  if (!job_name) co_return std::unexpected(job_name.error());

  IfsRequest attributes_request{ExchangeAttributes{}};
  const auto attributes =
      co_await server::exchange(client, std::move(attributes_request), parse_attribute_reply);
  if (!attributes) co_return std::unexpected(attributes.error());

  client.job_name_ = std::move(*job_name);
  client.data_block_size_ = attributes->data_block_size;
  client.ccsid_ = attributes->ccsid;
  client.datastream_level_ = attributes->datastream_level;
  co_return client;
}

}  // namespace morva::ifs
