#include "morva/command/connection_replies.hpp"

#include "fake_ibmi/packet_builder.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <functional>

namespace morva::command {
namespace {

using fake_ibmi::Bytes;
using fake_ibmi::from_hex;
using fake_ibmi::PacketBuilder;

constexpr std::uint16_t kServer = 0xE008;

// 0xF001: password level in header byte 5, return code (u32) at 20, server seed at 24.
Bytes seed_reply(std::uint8_t level, std::uint32_t return_code = 0) {
  return PacketBuilder(kServer, 0xF001)
      .header_id(0, level)
      .u32(20, return_code)
      .u64(24, 0x1122334455667788)
      .build();
}

TEST(ParseSeedReply, ReadsSeedAndPasswordLevel) {
  const auto reply = parse_seed_reply(seed_reply(3));
  ASSERT_TRUE(reply.has_value()) << reply.error().text();
  EXPECT_THAT(reply->server_seed, ::testing::ElementsAre(0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88));
  EXPECT_EQ(reply->password_level, 3);
}

// The checks that the three connection replies share, and each one's own return code.
TEST(ConnectionReplies, RefuseWrongOrShortReplies) {
  struct Case {
    std::string_view name;
    Bytes packet;
    std::function<Result<void>(std::span<const std::uint8_t>)> parse;
    std::string_view error;
  };
  const auto seed = [](auto packet) -> Result<void> {
    if (auto r = parse_seed_reply(packet); !r) return std::unexpected(r.error());
    return {};
  };
  const auto start = [](auto packet) -> Result<void> {
    if (auto r = parse_start_server_reply(packet); !r) return std::unexpected(r.error());
    return {};
  };
  const auto attributes = [](auto packet) -> Result<void> {
    if (auto r = parse_attribute_reply(packet); !r) return std::unexpected(r.error());
    return {};
  };
  const Bytes short_seed = PacketBuilder(kServer, 0xF001).u32(20, 0).u16(24, 0).build();
  const Case cases[] = {
      {"short seed reply", short_seed, seed, "reply 0xF001 requires at least 32 bytes; received 26"},
      {"seed reply from the file server", PacketBuilder(0xE002, 0xF001).u64(24, 1).build(), seed,
       "unexpected command reply: length=32, server=E002, id=F001"},
      {"seed reply with a long length", PacketBuilder(kServer, 0xF001).u64(24, 1).total_length(33).build(),
       seed, "unexpected command reply: length=33, server=E008, id=F001"},
      {"start-server reply in place of seeds", PacketBuilder(kServer, 0xF002).u64(24, 1).build(), seed,
       "unexpected command reply: length=32, server=E008, id=F002"},
      {"seed return code", seed_reply(0, 0x00010002), seed, "seed exchange failed with 0x00010002"},
      {"short start-server reply", PacketBuilder(kServer, 0xF002).u16(20, 0).build(), start,
       "reply 0xF002 requires at least 24 bytes; received 22"},
      {"start-server return code", PacketBuilder(kServer, 0xF002).u32(20, 0x00020001).build(), start,
       "remote-command authentication failed with 0x00020001"},
      {"short attribute reply", PacketBuilder(kServer, 0x8001).u8(34, 0).build(), attributes,
       "reply 0x8001 requires at least 36 bytes; received 35"},
  };
  for (const Case& c : cases) {
    const auto result = c.parse(c.packet);
    ASSERT_FALSE(result.has_value()) << c.name;
    EXPECT_EQ(result.error().text(), c.error) << c.name;
  }
}

// Job-name item 0x111F: 4 bytes not used, then the name in EBCDIC.
Bytes job_name_item_data(std::string_view ebcdic_hex) {
  return from_hex("00000000 " + std::string(ebcdic_hex));
}

TEST(ParseStartServerReply, TakesTheFirstJobNameItem) {
  struct Case {
    std::string_view name;
    Bytes packet;
    std::string_view job_name;  // empty: `error` is expected
    std::string_view error;
  };
  // 123456/QUSER/QZRCSRVS followed by EBCDIC blanks.
  const Bytes job = job_name_item_data("F1F2F3F4F5F6 61 D8E4E2C5D9 61 D8E9D9C3E2D9E5E2 4040");
  const Bytes other = job_name_item_data("C1C2C3");
  const Case cases[] = {
      {"one job name", PacketBuilder(kServer, 0xF002).u32(20, 0).item(0x111F, job).build(),
       "123456/QUSER/QZRCSRVS", ""},
      {"two job names",
       PacketBuilder(kServer, 0xF002).u32(20, 0).item(0x111F, job).item(0x111F, other).build(),
       "123456/QUSER/QZRCSRVS", ""},
      {"other items first",
       PacketBuilder(kServer, 0xF002).u32(20, 0).item(0x1101, from_hex("0001")).item(0x111F, other).build(),
       "ABC", ""},
      {"job-name item of LL 9 skipped",
       PacketBuilder(kServer, 0xF002).u32(20, 0).item(0x111F, from_hex("000000")).item(0x111F, other).build(),
       "ABC", ""},
      {"no job name", PacketBuilder(kServer, 0xF002).u32(20, 0).item(0x1101, from_hex("0001")).build(), "",
       "start-server reply did not include a job name"},
      {"no items", PacketBuilder(kServer, 0xF002).u32(20, 0).build(), "",
       "start-server reply did not include a job name"},
      {"item length cut off", PacketBuilder(kServer, 0xF002).u32(20, 0).bytes(24, from_hex("000000")).build(),
       "", "missing 32-bit value at offset 24"},
      {"item length 5",
       PacketBuilder(kServer, 0xF002).u32(20, 0).bytes(24, from_hex("00000005 111F")).build(), "",
       "invalid field length 5 at offset 24"},
      {"item past the end",
       PacketBuilder(kServer, 0xF002).u32(20, 0).bytes(24, from_hex("0000000F 111F 00000000 C1")).build(), "",
       "invalid field length 15 at offset 24"},
  };
  for (const Case& c : cases) {
    const auto job_name = parse_start_server_reply(c.packet);
    if (c.error.empty()) {
      ASSERT_TRUE(job_name.has_value()) << c.name << ": " << job_name.error().text();
      EXPECT_EQ(*job_name, c.job_name) << c.name;
    } else {
      ASSERT_FALSE(job_name.has_value()) << c.name;
      EXPECT_EQ(job_name.error().text(), c.error) << c.name;
    }
  }
}

// 0x8001: return code (u16) at 20, server CCSID (u32) at 22, datastream level (u16) at 34.
TEST(ParseAttributeReply, AcceptsTheListedReturnCodes) {
  struct Case {
    std::uint16_t code;
    bool accepted;
  };
  const Case cases[] = {{0x0000, true},  {0x0100, true},  {0x0104, true},  {0x0106, true},  {0x0108, true},
                        {0x0001, false}, {0x0101, false}, {0x0103, false}, {0x0109, false}, {0xFFFF, false}};
  for (const Case c : cases) {
    const Bytes packet = PacketBuilder(kServer, 0x8001).u16(20, c.code).u32(22, 277).u16(34, 11).build();
    const auto attributes = parse_attribute_reply(packet);
    if (c.accepted) {
      ASSERT_TRUE(attributes.has_value()) << c.code;
      EXPECT_EQ(attributes->ccsid, 277u);
      EXPECT_EQ(attributes->datastream_level, 11);
    } else {
      ASSERT_FALSE(attributes.has_value()) << c.code;
      EXPECT_EQ(attributes.error().text(),
                fmt::format("command attribute exchange failed with 0x{:04X}", c.code));
    }
  }
}

}  // namespace
}  // namespace morva::command
