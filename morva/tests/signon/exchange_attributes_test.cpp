#include "morva/signon/exchange_attributes.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "fake_ibmi/hex.hpp"
#include "fake_ibmi/packet_builder.hpp"

namespace morva::signon {
namespace {

using fake_ibmi::Bytes;
using fake_ibmi::from_hex;
using fake_ibmi::PacketBuilder;

TEST(EncodeExchangeAttributes, WritesTheThreeClientItems) {
  const auto packet = encode_exchange_attributes({.seed = 0x0000018C5A3B2F10});
  EXPECT_EQ(packet, from_hex("00000034 0000 E009 00000000 00000000 0000 7003"
                             "0000000A 1101 00000001"
                             "00000008 1102 000A"
                             "0000000E 1103 0000018C5A3B2F10"));
}

TEST(ClientAttributes, SeedIsWholeMillisecondsSince1970) {
  using std::chrono::system_clock;
  struct Case {
    const char* name;
    system_clock::time_point now;
    std::uint64_t seed;
  };
  const Case cases[] = {
      {"epoch", system_clock::time_point{}, 0},
      {"fraction cut", system_clock::time_point{std::chrono::microseconds(1'999'999)}, 1999},
      {"2023-12-10", system_clock::time_point{std::chrono::seconds(1'702'166'400)}, 1'702'166'400'000},
      {"before 1970", system_clock::time_point{std::chrono::seconds(-5)}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SignonClientAttributes attributes = client_attributes(c.now);
    EXPECT_EQ(attributes.seed, c.seed);
    EXPECT_EQ(attributes.version, 1u);
    EXPECT_EQ(attributes.datastream_level, 10u);
  }
  const auto before_1970 = encode_exchange_attributes(client_attributes(cases[3].now));
  EXPECT_EQ(Bytes(before_1970.begin() + 44, before_1970.end()), Bytes(8, 0));
}

// A reply 0xF003 with its fixed part: return code, the server's version item and level item.
PacketBuilder attribute_reply(std::uint32_t return_code = 0, std::uint16_t server_level = 10,
                              std::uint16_t server_id = 0xE009, std::uint16_t reply_id = 0xF003) {
  PacketBuilder reply(server_id, reply_id);
  reply.u32(20, return_code)
      .u32(24, 10)
      .u16(28, 0x1101)
      .u32(30, 0x00070500)
      .u32(34, 8)
      .u16(38, 0x1102)
      .u16(40, server_level);
  return reply;
}

const Bytes kSeed = from_hex("0123456789ABCDEF");

TEST(ParseExchangeAttributesReply, KeepsLevelsSeedAndReturnCode) {
  struct Case {
    const char* name;
    Bytes reply;
    std::uint32_t return_code;
    std::uint16_t server_level;
    std::optional<std::uint8_t> password_level;
    bool has_seed;
  };
  const Case cases[] = {
      {"complete", attribute_reply(0, 5).item(0x1119, from_hex("02")).item(0x1103, kSeed).build(), 0, 5, 2,
       true},
      {"other items skipped",
       attribute_reply()
           .item(0x1120, from_hex("00000000"))
           .item(0x1103, kSeed)
           .item(0x1119, from_hex("03"))
           .build(),
       0, 10, 3, true},
      {"second level wins",
       attribute_reply().item(0x1119, from_hex("01")).item(0x1119, from_hex("03")).build(), 0, 10, 3, false},
      {"level without data", attribute_reply().item(0x1119).item(0x1103, kSeed).build(), 0, 10, std::nullopt,
       true},
      {"seed of 7 bytes",
       attribute_reply().item(0x1119, from_hex("02")).item(0x1103, from_hex("01234567890ABC")).build(), 0, 10,
       2, false},
      {"seed of 9 bytes",
       attribute_reply().item(0x1119, from_hex("02")).item(0x1103, from_hex("0123456789ABCDEF01")).build(), 0,
       10, 2, false},
      {"no items, failed", attribute_reply(0x00010004).build(), 0x00010004, 10, std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto attributes = parse_exchange_attributes_reply(c.reply);
    ASSERT_TRUE(attributes.has_value()) << attributes.error().text();
    EXPECT_EQ(attributes->return_code, c.return_code);
    EXPECT_EQ(attributes->server_level, c.server_level);
    EXPECT_EQ(attributes->password_level, c.password_level);
    ASSERT_EQ(attributes->server_seed.has_value(), c.has_seed);
    if (c.has_seed) {
      EXPECT_EQ(Bytes(attributes->server_seed->begin(), attributes->server_seed->end()), kSeed);
    }
  }
}

TEST(ParseExchangeAttributesReply, RefusesMalformedReplies) {
  struct Case {
    const char* name;
    Bytes reply;
    const char* error;
  };
  Bytes short_reply = attribute_reply().build();
  short_reply.pop_back();
  short_reply[3] = 41;
  const Case cases[] = {
      {"41 bytes", short_reply, "exchange-attributes reply is shorter than 42 bytes"},
      {"length field says more", attribute_reply().item(0x1119, from_hex("02")).total_length(60).build(),
       "declared packet length 60 does not match 49 received bytes"},
      {"file server", attribute_reply(0, 10, 0xE002).build(),
       "not a sign-on attribute reply (server E002, reply F003)"},
      {"information reply", attribute_reply(0, 10, 0xE009, 0xF004).build(),
       "not a sign-on attribute reply (server E009, reply F004)"},
      {"LL cut off", attribute_reply().bytes(42, from_hex("0000")).build(),
       "missing 32-bit value at offset 42"},
      {"LL below 6", attribute_reply().bytes(42, from_hex("00000005 1119")).build(),
       "invalid field length 5 at offset 42"},
      {"item past the end",
       attribute_reply().item(0x1119, from_hex("02")).bytes(49, from_hex("0000000E 1103 0123")).build(),
       "invalid field length 14 at offset 49"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto attributes = parse_exchange_attributes_reply(c.reply);
    ASSERT_FALSE(attributes.has_value());
    EXPECT_EQ(attributes.error().text(), c.error);
  }
}

}  // namespace
}  // namespace morva::signon
