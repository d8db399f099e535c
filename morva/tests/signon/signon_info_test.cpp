#include "morva/signon/signon_info.hpp"

#include <gtest/gtest.h>

#include "fake_ibmi/hex.hpp"
#include "fake_ibmi/packet_builder.hpp"

namespace morva::signon {
namespace {

using fake_ibmi::Bytes;
using fake_ibmi::from_hex;
using fake_ibmi::PacketBuilder;

const EncodedUserProfile kUser{0xE4, 0xE2, 0xC5, 0xD9, 0x6D, 0xF1, 0x40, 0x40, 0x40, 0x40};  // USER_1

TEST(EncodeSignonInfo, LaysOutSubstituteAndUserByServerLevel) {
  struct Case {
    const char* name;
    Bytes substitute;
    std::uint16_t server_level;
    const char* packet;
  };
  const Case cases[] = {
      {"DES, level 4", from_hex("0102030405060708"), 4,
       "0000003D 0000 E009 00000000 00000000 0001 7004"
       "01"
       "0000000A 1113 000004B0"
       "0000000E 1105 0102030405060708"
       "00000010 1104 E4E2C5D96DF140404040"},
      {"SHA-1, level 5", from_hex("000102030405060708090A0B0C0D0E0F10111213"), 5,
       "00000050 0000 E009 00000000 00000000 0001 7004"
       "03"
       "0000000A 1113 000004B0"
       "0000001A 1105 000102030405060708090A0B0C0D0E0F10111213"
       "00000010 1104 E4E2C5D96DF140404040"
       "00000007 1128 01"},
      {"DES, level 10", from_hex("0102030405060708"), 10,
       "00000044 0000 E009 00000000 00000000 0001 7004"
       "01"
       "0000000A 1113 000004B0"
       "0000000E 1105 0102030405060708"
       "00000010 1104 E4E2C5D96DF140404040"
       "00000007 1128 01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SignonInfo info(Secret(std::span<const std::uint8_t>(c.substitute)), kUser, c.server_level);
    const auto packet = encode_signon_info(info);
    ASSERT_TRUE(packet.has_value()) << packet.error().text();
    EXPECT_EQ(Bytes(packet->begin(), packet->end()), from_hex(c.packet));
  }
}

TEST(EncodeSignonInfo, RefusesASubstituteOfAnotherLength) {
  const SignonInfo info(Secret(std::span<const std::uint8_t>(from_hex("01020304050607"))), kUser, 10);
  const auto packet = encode_signon_info(info);
  ASSERT_FALSE(packet.has_value());
  EXPECT_EQ(packet.error().text(),
            "internal error: entered unreachable code: password substitutes are either DES or SHA-1");
}

TEST(BuildSignonInfo, EncodesTheUserAndComputesTheSubstitute) {
  const Seed seed{1, 2, 3, 4, 5, 6, 7, 8};
  const Secret password(std::string_view("secret"));
  const auto des = build_signon_info("user_1", password, 1, 99, seed, 4);
  ASSERT_TRUE(des.has_value()) << des.error().text();
  EXPECT_EQ(des->user, kUser);
  EXPECT_EQ(des->server_level, 4u);
  EXPECT_EQ(des->substitute.size(), 8u);
  const auto sha1 = build_signon_info("user_1", password, 3, 99, seed, 4);
  ASSERT_TRUE(sha1.has_value()) << sha1.error().text();
  EXPECT_EQ(sha1->substitute.size(), 20u);

  const auto bad_user = build_signon_info("user.1", password, 2, 99, seed, 4);
  ASSERT_FALSE(bad_user.has_value());
  EXPECT_EQ(bad_user.error().text(), "IBM i user profile contains an unsupported character");
  const auto bad_level = build_signon_info("user_1", password, 4, 99, seed, 4);
  ASSERT_FALSE(bad_level.has_value());
  EXPECT_EQ(bad_level.error().text(),
            "password level 4 is not implemented; levels 0 through 3 are supported");
}

TEST(ParseSignonInfoReply, ReturnsTheCodeOfAWellFormedReply) {
  struct Case {
    const char* name;
    Bytes reply;
    std::uint32_t return_code;  // when `error` is null
    const char* error;
  };
  const Case cases[] = {
      {"no items", PacketBuilder(0xE009, 0xF004).u32(20, 0).build(), 0, nullptr},
      {"items ignored",
       PacketBuilder(0xE009, 0xF004).u32(20, 0x0003000B).item(0x1106, from_hex("0102")).item(0x1129).build(),
       0x0003000B, nullptr},
      {"23 bytes", PacketBuilder(0xE009, 0xF004).u16(20, 0).u8(22, 0).build(), 0,
       "sign-on information reply is shorter than 24 bytes"},
      {"length field says less", PacketBuilder(0xE009, 0xF004).u32(20, 0).total_length(20).build(), 0,
       "declared packet length 20 does not match 24 received bytes"},
      {"attribute reply", PacketBuilder(0xE009, 0xF003).u32(20, 0).build(), 0,
       "not a sign-on information reply (server E009, reply F003)"},
      {"remote-command server", PacketBuilder(0xE008, 0xF004).u32(20, 0).build(), 0,
       "not a sign-on information reply (server E008, reply F004)"},
      {"LL cut off", PacketBuilder(0xE009, 0xF004).u32(20, 0).bytes(24, from_hex("000000")).build(), 0,
       "missing 32-bit value at offset 24"},
      {"LL past the end",
       PacketBuilder(0xE009, 0xF004).u32(20, 0).bytes(24, from_hex("00000007 1106")).build(), 0,
       "invalid field length 7 at offset 24"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto return_code = parse_signon_info_reply(c.reply);
    if (c.error == nullptr) {
      ASSERT_TRUE(return_code.has_value()) << return_code.error().text();
      EXPECT_EQ(*return_code, c.return_code);
    } else {
      ASSERT_FALSE(return_code.has_value());
      EXPECT_EQ(return_code.error().text(), c.error);
    }
  }
}

}  // namespace
}  // namespace morva::signon
