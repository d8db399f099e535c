#include "morva/ifs/reply_fields.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_ibmi/hex.hpp"
#include "fake_ibmi/packet_builder.hpp"

namespace morva::ifs {
namespace {

using fake_ibmi::Bytes;
using fake_ibmi::from_hex;

// A success when `error` is nullptr, else a failure with that text.
void expect_outcome(const Result<void>& outcome, const char* error) {
  if (error == nullptr) {
    EXPECT_TRUE(outcome.has_value()) << outcome.error().text();
  } else {
    ASSERT_FALSE(outcome.has_value());
    EXPECT_EQ(outcome.error().text(), error);
  }
}

TEST(FieldReaders, ReadBigEndianValuesWhollyInsideThePacket) {
  const Bytes packet = from_hex("01 02 03 04 05 06 07 08 09");
  EXPECT_EQ(read_u16(packet, 0), 0x0102);
  EXPECT_EQ(read_u16(packet, 7), 0x0809);
  EXPECT_EQ(read_u32(packet, 5), 0x06070809u);
  EXPECT_EQ(read_u64(packet, 1), 0x0203040506070809u);

  struct Missing {
    Result<std::uint64_t> value;
    const char* text;
  };
  const auto widen = [](auto result) -> Result<std::uint64_t> {
    if (!result) return std::unexpected(result.error());
    return *result;
  };
  const Missing missing[] = {
      {widen(read_u16(packet, 8)), "missing 16-bit value at offset 8"},
      {widen(read_u16(packet, 9)), "missing 16-bit value at offset 9"},
      {widen(read_u32(packet, 6)), "missing 32-bit value at offset 6"},
      {widen(read_u64(packet, 2)), "missing 64-bit value at offset 2"},
      {widen(read_u32(packet, 0xFFFFFFFFFFFFFFFE)), "missing 32-bit value at offset 18446744073709551614"},
      {widen(read_u16(Bytes{}, 0)), "missing 16-bit value at offset 0"},
  };
  for (const Missing& m : missing) {
    ASSERT_FALSE(m.value.has_value());
    EXPECT_EQ(m.value.error().text(), m.text);
  }
}

TEST(CheckReply, AcceptsOnlyAWholeFileServerReplyOfTheExpectedKind) {
  struct Case {
    const char* name;
    Bytes packet;
    std::uint64_t minimum;
    const char* error;  // nullptr: accepted
  };
  const Case cases[] = {
      {"expected", fake_ibmi::PacketBuilder(0xE002, 0x8001).u16(20, 0).u16(22, 0).build(), 24, nullptr},
      {"shorter than its kind", fake_ibmi::PacketBuilder(0xE002, 0x8001).u16(20, 0).build(), 24,
       "reply 0x8001 requires at least 24 bytes; received 22"},
      {"remote-command server", fake_ibmi::PacketBuilder(0xE008, 0x8001).u32(20, 0).build(), 24,
       "unexpected file-service reply: length=24, server=E008, id=8001"},
      {"other reply", fake_ibmi::PacketBuilder(0xE002, 0x8002).u32(20, 0).build(), 24,
       "unexpected file-service reply: length=24, server=E002, id=8002"},
      {"length field larger than the bytes",
       fake_ibmi::PacketBuilder(0xE002, 0x8001).u32(20, 0).total_length(40).build(), 24,
       "unexpected file-service reply: length=40, server=E002, id=8001"},
      {"length field smaller than the bytes",
       fake_ibmi::PacketBuilder(0xE002, 0x8001).u32(20, 0).total_length(20).build(), 24,
       "unexpected file-service reply: length=20, server=E002, id=8001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto checked = check_reply(c.packet, 0x8001, c.minimum);
    expect_outcome(checked, c.error);
  }
}

TEST(WalkItems, VisitsEachItemInOrderAndRefusesBadLengths) {
  struct Case {
    const char* name;
    Bytes packet;  // items start at offset 4
    std::vector<std::string> visited;
    const char* error;
  };
  const Case cases[] = {
      {"none", from_hex("FFFFFFFF"), {}, nullptr},
      {"two", from_hex("FFFFFFFF  00000008 1119 0102  00000006 1103"), {"4:1119:0102", "12:1103:"}, nullptr},
      {"LL below 6", from_hex("FFFFFFFF  00000005 1119 00"), {}, "invalid field length 5 at offset 4"},
      {"LL 0", from_hex("FFFFFFFF  00000000 1119"), {}, "invalid field length 0 at offset 4"},
      {"past the end after a good one",
       from_hex("FFFFFFFF  00000006 1101  00000009 1102 0102"),
       {"4:1101:"},
       "invalid field length 9 at offset 10"},
      {"LL near 2^32",
       from_hex("FFFFFFFF  FFFFFFFF 1119"),
       {},
       "invalid field length 4294967295 at offset 4"},
      {"LL cut off", from_hex("FFFFFFFF  000000"), {}, "missing 32-bit value at offset 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> visited;
    const auto walked = walk_items(c.packet, 4, [&](const Item& item) -> Result<WalkStep> {
      std::string data;
      for (const auto byte : item.data) data += fmt::format("{:02X}", byte);
      visited.push_back(fmt::format("{}:{:04X}:{}", item.offset, item.code_point, data));
      return WalkStep::next;
    });
    EXPECT_EQ(visited, c.visited);
    expect_outcome(walked, c.error);
  }
}

TEST(WalkItems, StopsWhereTheVisitorSaysSo) {
  // The third item's length runs past the end of the packet.
  const Bytes packet = from_hex("00000006 1101  00000006 1102  00000009 1103");
  struct Case {
    std::uint16_t stop_at;
    std::vector<std::uint16_t> visited;
    const char* error;  // nullptr: the walk succeeds
  };
  const Case cases[] = {
      {0x1101, {0x1101}, nullptr},
      {0x1102, {0x1101, 0x1102}, nullptr},
      {0x1103, {0x1101, 0x1102}, "invalid field length 9 at offset 12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(fmt::format("{:04X}", c.stop_at));
    std::vector<std::uint16_t> visited;
    const auto walked = walk_items(packet, 0, [&](const Item& item) -> Result<WalkStep> {
      visited.push_back(item.code_point);
      return item.code_point == c.stop_at ? WalkStep::stop : WalkStep::next;
    });
    EXPECT_EQ(visited, c.visited);
    expect_outcome(walked, c.error);
  }
}

TEST(WalkItems, StopsAtTheVisitorsError) {
  const Bytes packet = from_hex("00000006 1101  00000006 1102");
  int visits = 0;
  const auto walked = walk_items(packet, 0, [&](const Item&) -> Result<WalkStep> {
    ++visits;
    return fail("bad item");
  });
  ASSERT_FALSE(walked.has_value());
  EXPECT_EQ(walked.error().text(), "bad item");
  EXPECT_EQ(visits, 1);
}

}  // namespace
}  // namespace morva::ifs
