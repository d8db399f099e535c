#include "morva/ifs/file_replies.hpp"

#include "morva/ifs/offset_level.hpp"
#include "morva/ifs/return_code.hpp"
#include "reply_packets.hpp"

#include <gtest/gtest.h>

#include <string>

namespace morva::ifs {
namespace {

using testing::reply;

struct ReturnCodeCase {
  std::uint16_t code;
  std::string text;
};

TEST(ReturnCodeError, NamesThePhrasePathAndCode) {
  const ReturnCodeCase cases[] = {
      {1, "file is in use for /a/b (return code 1)"},
      {2, "file not found for /a/b (return code 2)"},
      {3, "path not found for /a/b (return code 3)"},
      {4, "path already exists for /a/b (return code 4)"},
      {5, "access denied for /a/b (return code 5)"},
      {9, "directory is not empty for /a/b (return code 9)"},
      {13, "request denied for /a/b (return code 13)"},
      {17, "data-stream syntax error for /a/b (return code 17)"},
      {18, "file-service request failed for /a/b (return code 18)"},
      {32, "sharing violation for /a/b (return code 32)"},
      {34, "stale file handle for /a/b (return code 34)"},
      {35, "file-service request failed for /a/b (return code 35)"},
      {40, "file-service request failed for /a/b (return code 40)"},
      {0, "file-service request failed for /a/b (return code 0)"},
      {0xFFFF, "file-service request failed for /a/b (return code 65535)"},
  };
  for (const auto& c : cases) {
    const Error error = return_code_error(c.code, "/a/b");
    EXPECT_EQ(error.text(), c.text);
    EXPECT_EQ(error.return_code(), c.code);
  }
}

TEST(OffsetLevel, RefusesWideOffsetsBelowLevel16) {
  EXPECT_EQ(check_offset_level(0x100000000, 15).error().text(),
            "file offset 4294967296 requires file-service data stream level 16 or newer");
  EXPECT_TRUE(check_offset_level(0x100000000, 16).has_value());
  EXPECT_TRUE(check_offset_level(0xFFFFFFFF, 0).has_value());
  EXPECT_TRUE(check_offset_level(0xFFFFFFFF, 15).has_value());
}

struct OpenCase {
  std::string label;
  std::vector<std::uint8_t> packet;
  std::uint16_t level;
  std::optional<OpenReply> reply;
  std::string error;
};

// Cut to `length` bytes, the length field following.
std::vector<std::uint8_t> wide_open_reply(std::size_t length) {
  auto packet = reply(0x8002, 97)
                    .u32(22, 0x0A0B0C0D)
                    .u16(34, 1208)
                    .u32(62, 7)
                    .u64(89, 0x100000005)
                    .total_length(static_cast<std::uint32_t>(length))
                    .build();
  packet.resize(length);
  return packet;
}

TEST(OpenReply, ReadsTheLevelDependentFields) {
  const OpenCase cases[] = {
      {"wide", wide_open_reply(97), 16, OpenReply{0x0A0B0C0D, 1208, 0x100000005}, ""},
      {"wide reply read narrow", wide_open_reply(97), 15, OpenReply{0x0A0B0C0D, 1208, 7}, ""},
      {"narrow", reply(0x8002, 66).u32(22, 3).u16(34, 277).u32(62, 0xFFFFFFFF).build(), 15,
       OpenReply{3, 277, 0xFFFFFFFF}, ""},
      {"wide too short", wide_open_reply(96), 16, std::nullopt,
       "reply 0x8002 requires at least 97 bytes; received 96"},
      {"narrow too short", reply(0x8002, 65).build(), 15, std::nullopt,
       "reply 0x8002 requires at least 66 bytes; received 65"},
      {"return code", reply(0x8001, 24).u16(22, 2).build(), 16, std::nullopt,
       "file not found for /f (return code 2)"},
      {"return code 0 is still a failure", reply(0x8001, 24).build(), 16, std::nullopt,
       "file-service request failed for /f (return code 0)"},
      {"return code cut off", reply(0x8001, 23).build(), 16, std::nullopt,
       "missing 16-bit value at offset 22"},
      {"other server", reply(0x8002, 97).u16(6, 0xE008).build(), 16, std::nullopt,
       "unexpected file-service reply: length=97, server=E008, id=8002"},
      {"other reply", reply(0x8003, 97).build(), 16, std::nullopt,
       "unexpected file-service reply: length=97, server=E002, id=8003"},
      {"no header", {0x00, 0x00}, 16, std::nullopt, "missing 16-bit value at offset 18"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const auto opened = parse_open_reply(c.packet, c.level, "/f");
    if (c.reply) {
      ASSERT_TRUE(opened.has_value()) << opened.error().text();
      EXPECT_EQ(opened->file_handle, c.reply->file_handle);
      EXPECT_EQ(opened->data_ccsid, c.reply->data_ccsid);
      EXPECT_EQ(opened->size, c.reply->size);
    } else {
      ASSERT_FALSE(opened.has_value());
      EXPECT_EQ(opened.error().text(), c.error);
    }
  }
}

TEST(OpenReply, KeepsTheReturnCode) {
  const auto opened = parse_open_reply(reply(0x8001, 24).u16(22, 32).build(), 16, "/f");
  EXPECT_EQ(opened.error().return_code(), 32u);
}

TEST(ReadReply, GivesTheDataAsAViewIntoThePacket) {
  const std::uint8_t data[] = {1, 2, 3};
  const auto packet = reply(0x8003, 24).item(0x0001, data).build();
  const auto read = parse_read_reply(packet);
  ASSERT_TRUE(read.has_value()) << read.error().text();
  EXPECT_EQ(read->data(), packet.data() + 30);
  EXPECT_EQ(std::vector<std::uint8_t>(read->begin(), read->end()), std::vector<std::uint8_t>(data, data + 3));

  const auto empty = parse_read_reply(reply(0x8003, 24).item(0x0020, {}).build());
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->empty());
}

TEST(ReadReply, RefusesABadDataLength) {
  const std::uint8_t data[] = {1, 2, 3};
  const std::pair<std::vector<std::uint8_t>, std::string> cases[] = {
      {reply(0x8003, 24).u32(24, 5).u16(28, 0x0020).bytes(30, data).build(),
       "invalid field length 5 at offset 24"},
      {reply(0x8003, 24).u32(24, 10).u16(28, 0x0020).bytes(30, data).build(),
       "invalid field length 10 at offset 24"},
      {reply(0x8003, 24).u32(24, 0xFFFFFFFF).u16(28, 0x0020).bytes(30, data).build(),
       "invalid field length 4294967295 at offset 24"},
      {reply(0x8003, 29).build(), "reply 0x8003 requires at least 30 bytes; received 29"},
  };
  for (const auto& [packet, error] : cases) EXPECT_EQ(parse_read_reply(packet).error().text(), error);
}

struct WriteCase {
  std::uint16_t code;
  std::uint32_t unwritten;
  std::uint64_t requested;
  std::optional<std::uint64_t> written;
  std::string error;
};

TEST(WriteReply, ChecksTheReturnCodeAndTheUnwrittenCount) {
  const WriteCase cases[] = {
      {0, 0, 4, 4, ""},
      {0, 10, 4, std::nullopt, "file-service reported 10 unwritten bytes for a 4-byte write to /w"},
      {0, 1, 4, std::nullopt, "file-service wrote 3 of 4 bytes to /w"},
      {0, 4, 4, std::nullopt, "file-service wrote 0 of 4 bytes to /w"},
      {5, 0, 4, std::nullopt, "access denied for /w (return code 5)"},
  };
  for (const auto& c : cases) {
    const auto written =
        parse_write_reply(reply(0x800B, 32).u16(22, c.code).u32(28, c.unwritten).build(), c.requested, "/w");
    if (c.written) {
      ASSERT_TRUE(written.has_value()) << written.error().text();
      EXPECT_EQ(*written, *c.written);
    } else {
      ASSERT_FALSE(written.has_value());
      EXPECT_EQ(written.error().text(), c.error);
    }
  }
  EXPECT_EQ(parse_write_reply(reply(0x800B, 31).build(), 4, "/w").error().text(),
            "reply 0x800B requires at least 32 bytes; received 31");
}

}  // namespace
}  // namespace morva::ifs
