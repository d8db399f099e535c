#include "morva/command/program_call.hpp"

#include "fake_ibmi/hex.hpp"
#include "fake_ibmi/packet_builder.hpp"
#include "reply_builder.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace morva::command {
namespace {

using fake_ibmi::from_hex;

TEST(EncodeName, UpperCasesPadsAndCuts) {
  struct Case {
    std::string_view text;
    std::size_t width;
    std::string_view expected;
  };
  const Case cases[] = {
      {"qsys", 10, "D8E2E8E2 404040404040"},
      {"*file", 10, "5CC6C9D3C5 4040404040"},
      {"MBRD0100", 8, "D4C2D9C4 F0F1F0F0"},
      {"#$@_", 10, "7B5B7C6D 404040404040"},
      {"abcdefghijklmnopqrstuvwxyz", 10, "C1C2C3C4C5C6C7C8C9D1"},
      {"stuvwxyz", 8, "E2E3E4E5E6E7E8E9"},
      {"toolongname", 10, "E3D6D6D3D6D5C7D5C1D4"},
      {"a b.c", 8, "C16FC26FC3 404040"},
      {"\xC3\xA9t\xC3\xA9", 8, "6F6FE36F6F 404040"},  // each byte of a non-ASCII character
      {"", 10, "40404040404040404040"},
  };
  for (const Case& c : cases) EXPECT_EQ(encode_name(c.text, c.width), from_hex(c.expected)) << c.text;
}

TEST(EncodeProgramCall, TrimsTrailingZerosAndCountsParameters) {
  const ProgramParameter parameters[] = {
      {.data = {0x00, 0x00, 0x01, 0x00}, .max_length = 4, .usage = kUsageInput},
      {.data = {0x00, 0x00, 0x00, 0x00}, .max_length = 8, .usage = kUsageInputOutput},
  };
  EXPECT_EQ(encode_program_call("qtest", parameters, 10), from_hex(R"(
      00000046 0000 E008 00000000 00000000 0017 1003
      D8E3C5E2E3 4040404040   D8E2E8E2 404040404040   04   0002
      0000000F 1103 00000004 000B 000001
      0000000C 1103 00000008 0021)"));
}

TEST(EncodeProgramCall, MessageOptionFollowsDatastreamLevel) {
  struct Case {
    std::uint16_t level;
    std::uint8_t option;
  };
  for (const Case c : {Case{0, 4}, Case{10, 4}, Case{11, 6}, Case{0xFFFF, 6}}) {
    const auto packet = encode_program_call("QWCRSSTS", {}, c.level);
    ASSERT_EQ(packet.size(), 43u);
    EXPECT_EQ(packet[40], c.option) << c.level;
  }
}

// A 0x8003 reply whose fields from offset 20 are `body`.
fake_ibmi::Bytes call_reply(std::string_view body) {
  return fake_ibmi::PacketBuilder(0xE008, 0x8003).bytes(20, from_hex(body)).build();
}

struct ReplyCase {
  std::string name;
  std::vector<std::uint8_t> packet;
  std::string error;                            // empty: the receiver is "ABCD"
  std::optional<std::uint32_t> refused_with{};  // the return code of a call the IBM i refused
};

std::vector<ReplyCase> reply_cases() {
  using testing::program_reply;
  const std::vector<std::uint8_t> receiver = {'A', 'B', 'C', 'D'};
  std::vector<ReplyCase> cases = {
      {"ok", program_reply(receiver), ""},
      {"alternate reply id", program_reply(receiver, 0, 0x9003), ""},
      {"wrong reply id", program_reply(receiver, 0, 0x8001), "unexpected retrieve thing reply 0x8001"},
      {"return code", program_reply(receiver, 0x0F01), "retrieve thing failed with 0x0F01", 0x0F01},
      {"header only", fake_ibmi::PacketBuilder(0xE008, 0x8003).build(), "missing 16-bit value at offset 20"},
      {"no header", from_hex("00000012 0000 E008 00000000 00000000 00"), "missing 16-bit value at offset 18"},
      {"no item", call_reply("0000 0000"), "missing 32-bit value at offset 24"},
      {"item length 11", call_reply("0000 0000 0000000B 1103 00000000 0016"),
       "retrieve thing receiver parameter is too short"},
      {"no maximum length", call_reply("0000 0000 00000010 1103 0000"), "missing 32-bit value at offset 30"},
      {"maximum below data", call_reply("0000 0000 00000010 1103 00000003 0016 41424344"),
       "retrieve thing receiver parameter is malformed"},
      {"item past the end", call_reply("0000 0000 00000011 1103 00000004 0016 41424344"),
       "retrieve thing receiver parameter is malformed"},
      {"huge item length", call_reply("0000 0000 FFFFFFFF 1103 FFFFFFFF 0016 41424344"),
       "retrieve thing receiver parameter is malformed"},
  };
  // Later parameter items, and the first item's CP and usage, are not looked at.
  auto extra = call_reply("0000 0000 00000010 9999 00000004 0000 41424344  0000000C 1103 00000008 0021");
  cases.push_back({"later items ignored", extra, ""});
  return cases;
}

TEST(CheckProgramReply, FindsTheReceiverOrSaysWhatIsWrong) {
  for (const ReplyCase& c : reply_cases()) {
    const auto receiver = check_program_reply(c.packet, "retrieve thing");
    if (c.error.empty()) {
      ASSERT_TRUE(receiver.has_value()) << c.name << ": " << receiver.error().text();
      EXPECT_THAT(*receiver, ::testing::ElementsAre('A', 'B', 'C', 'D')) << c.name;
    } else {
      ASSERT_FALSE(receiver.has_value()) << c.name;
      EXPECT_EQ(receiver.error().text(), c.error) << c.name;
      EXPECT_EQ(receiver.error().program_return_code(), c.refused_with) << c.name;
    }
  }
}

}  // namespace
}  // namespace morva::command
