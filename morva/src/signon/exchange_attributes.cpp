#include "morva/signon/exchange_attributes.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "morva/ifs/reply_fields.hpp"
#include "morva/server/packet_header.hpp"
#include "signon/signon_codes.hpp"

namespace morva::signon {
namespace {

// Request 0x7003, after the header: three items.
//   20 u32 LL 10, 24 u16 CP client version,          26 u32 version
//   30 u32 LL 8,  34 u16 CP client datastream level, 36 u16 level
//   38 u32 LL 14, 42 u16 CP client seed,             44 u64 seed
constexpr std::uint64_t kRequestLength = 52;

// Reply 0xF003: u32 return code at 20, the server's version and level items at fixed places (24 to
// 41, the level's value at 40), then items from 42.
constexpr std::uint64_t kMinimumReplyLength = 42;
constexpr std::uint64_t kReturnCodeOffset = 20;
constexpr std::uint64_t kServerLevelOffset = 40;
constexpr std::uint64_t kSeedItemLength = 14;

}  // namespace

SignonClientAttributes client_attributes(std::chrono::system_clock::time_point now) {
  const auto since_epoch = now.time_since_epoch();
  SignonClientAttributes attributes;
  if (since_epoch.count() >= 0) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch - seconds);
    attributes.seed = static_cast<std::uint64_t>(seconds.count()) * 1000 +
                      static_cast<std::uint64_t>(nanoseconds.count()) / 1'000'000;
  }
  return attributes;
}

SignonClientAttributes client_attributes() {
  return client_attributes(std::chrono::system_clock::now());
}

std::vector<std::uint8_t> encode_exchange_attributes(const SignonClientAttributes& attributes) {
  std::vector<std::uint8_t> packet(kRequestLength);
  server::write_header(packet,
                       {.server_id = server::kSignonServerId, .request_id = kExchangeAttributesRequestId});
  server::put_u32(packet, 20, 10);
  server::put_u16(packet, 24, kClientVersionCodePoint);
  server::put_u32(packet, 26, attributes.version);
  server::put_u32(packet, 30, 8);
  server::put_u16(packet, 34, kClientDatastreamLevelCodePoint);
  server::put_u16(packet, 36, attributes.datastream_level);
  server::put_u32(packet, 38, 14);
  server::put_u16(packet, 42, kSeedCodePoint);
  server::put_u64(packet, 44, attributes.seed);
  return packet;
}

Result<SignonAttributes> parse_exchange_attributes_reply(std::span<const std::uint8_t> packet) {
  constexpr SignonReplyKind kind{kExchangeAttributesReplyId, kMinimumReplyLength,
                                 "exchange-attributes reply is shorter than 42 bytes",
                                 "not a sign-on attribute reply"};
  if (auto checked = check_signon_reply(packet, kind); !checked) return std::unexpected(checked.error());
  SignonAttributes attributes;
  attributes.return_code = *ifs::read_u32(packet, kReturnCodeOffset);
  attributes.server_level = *ifs::read_u16(packet, kServerLevelOffset);
  auto walked =
      ifs::walk_items(packet, kMinimumReplyLength, [&](const ifs::Item& item) -> Result<ifs::WalkStep> {
        if (item.code_point == kSeedCodePoint && item.length == kSeedItemLength) {
          Seed seed;
          std::copy(item.data.begin(), item.data.end(), seed.begin());
          attributes.server_seed = seed;
        } else if (item.code_point == kPasswordLevelCodePoint && !item.data.empty()) {
          attributes.password_level = item.data[0];
        }
        return ifs::WalkStep::next;
      });
  if (!walked) return std::unexpected(walked.error());
  return attributes;
}

}  // namespace morva::signon
