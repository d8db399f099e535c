#include "morva/ifs/return_code.hpp"
#include "ops_session.hpp"

#include <gmock/gmock.h>

namespace morva::ifs::testing {
namespace {

constexpr std::uint32_t kHandle = 0x55;
const std::string kMember = "/QSYS.LIB/L.LIB/QCLSRC.FILE/HELLO.MBR";

std::string text_of(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

// Two records of 4 text bytes in CCSID 277: "AB" and "C".
const Bytes kRecords = fake_ibmi::from_hex("C1C2 4040 | C340 4040");

TEST(ReadFile, DecodesAMemberWithTheOpenCcsidElseTheObjectCcsid) {
  struct Case {
    std::uint16_t open_ccsid;
    std::optional<std::uint16_t> object_ccsid;
    Bytes data;
    std::optional<std::uint64_t> record_length;
    std::string text;  // empty: the missing-CCSID error
  };
  const Case cases[] = {
      {277, 1208, kRecords, std::nullopt, "AB  C   "},
      {277, std::nullopt, kRecords, 16, "AB\nC\n"},
      {0xFFFF, 1208, fake_ibmi::from_hex("C3A6 626C 65"), std::nullopt,
       "\xC3\xA6"
       "ble"},
      {0xFFFF, std::nullopt, kRecords, 16, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Session session(ConnectionScript()
                        .expect(kOpenId)
                        .send(open_reply(kHandle, c.data.size(), c.open_ccsid))
                        .expect(kListId)
                        .send(object_reply(c.object_ccsid, kMore))
                        .send(return_code_reply(18))
                        .expect(read_request(kHandle, 0, static_cast<std::uint32_t>(c.data.size())))
                        .send(read_reply(c.data, 0))
                        .expect(close_request(kHandle))
                        .send(close_reply()));
    const auto text =
        session.run([&](IfsClient& client) { return client.read_whole(kMember, 1000, c.record_length); });
    if (c.text.empty()) {
      ASSERT_FALSE(text);
      EXPECT_EQ(text.error().text(), "IBM i did not report a CCSID for the source member");
    } else {
      ASSERT_TRUE(text) << text.error().text();
      EXPECT_EQ(text_of(*text), c.text);
    }
  }
}

TEST(ReadFile, KeepsTheReturnCodeOfARefusedCcsidQueryAndCloses) {
  Session session(ConnectionScript()
                      .expect(kOpenId)
                      .send(open_reply(kHandle, kRecords.size(), 0xFFFF))
                      .expect(kListId)
                      .send(return_code_reply(5))
                      .expect(close_request(kHandle))
                      .send(close_reply()));
  const auto text =
      session.run([](IfsClient& client) { return client.read_source_member(kMember, 1000, 16); });
  ASSERT_FALSE(text);
  EXPECT_EQ(text.error(), return_code_error(5, kMember));
}

TEST(ReadFile, ReadsAStreamFileUpToTheMaximumAndClosesBeyondIt) {
  const Bytes content(1000, 0x5A);
  Session session(ConnectionScript()
                      .expect(kOpenId)
                      .send(open_reply(kHandle, 1000))
                      .expect(read_request(kHandle, 0, 1000))
                      .send(read_reply(content, 0))
                      .expect(close_request(kHandle))
                      .send(close_reply())
                      .expect(kOpenId)
                      .send(open_reply(kHandle, 1001))
                      .expect(close_request(kHandle))
                      .send(close_reply()));
  const auto whole = session.run([](IfsClient& client) { return client.read_source_member("/f", 1000, 92); });
  ASSERT_TRUE(whole) << whole.error().text();
  EXPECT_EQ(*whole, content);
  const auto refused = session.run([](IfsClient& client) { return client.read_file("/f", 1000); });
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().text(), "file is 1001 bytes; terminal display limit is 1000 bytes");
}

TEST(WriteSourceMember, LooksUpTheCcsidThenReplacesTheRecords) {
  Session session(ConnectionScript()
                      .expect(kOpenId)
                      .send(open_reply(kHandle, 8, 277))
                      .expect(kListId)
                      .send(return_code_reply(18))
                      .expect(close_request(kHandle))
                      .send(close_reply())
                      .expect(open_for_write_request(u"/QSYS.LIB/L.LIB/QCLSRC.FILE/HELLO.MBR", 16))
                      .send(open_reply(kHandle + 1, 8))
                      .expect(write_request(kHandle + 1, 0, kRecords))
                      .send(write_reply())
                      .expect(close_request(kHandle + 1))
                      .send(close_reply()));
  const auto outside =
      session.run([](IfsClient& client) { return client.write_source_member("/home/a.mbr", "x", 16); });
  ASSERT_FALSE(outside);
  EXPECT_EQ(outside.error().text(), "source-member writes require a QSYS .MBR path");
  const auto written =
      session.run([](IfsClient& client) { return client.write_source_member(kMember, "AB\nC\n", 16); });
  EXPECT_TRUE(written) << written.error().text();
}

}  // namespace
}  // namespace morva::ifs::testing
