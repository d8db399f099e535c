#include "ops_session.hpp"

#include <gmock/gmock.h>

#include <random>

namespace morva::ifs::testing {
namespace {

constexpr std::uint32_t kHandle = 9;
const std::string kAlreadyExists = "path already exists for /new (return code 4)";

// A failed change, so that a stale success taken as its reply would show.
ConnectionScript& then_create_fails(ConnectionScript& script) {
  return script.expect(kCreateDirectoryId).send(return_code_reply(4));
}

Result<void> create(Session& session) {
  return session.run([](IfsClient& client) { return client.create_directory("/new"); });
}

TEST(ChainRecovery, LaterExchangesGetTheirOwnRepliesAfterAChainFailsPartWay) {
  const Bytes nameless = PacketBuilder(kServer, 0x8005).u16(20, kMore).u16(54, 1).u64(81, 0).build();
  // An item whose LL (3) is shorter than its own head.
  const Bytes bad_field = PacketBuilder(kServer, 0x8005)
                              .u16(20, kMore)
                              .u16(22, 0)
                              .u32(24, 3)
                              .u16(28, 0x000F)
                              .template_length(4)
                              .build();
  struct Case {
    std::string name;
    std::function<ConnectionScript()> script;
    std::function<std::optional<Error>(Session&)> operation;
  };
  const auto listing = [](Bytes bad) {
    return [bad] {
      ConnectionScript script;
      script.expect(kListId)
          .send(entry_reply(u"a"))
          .send(bad)
          .send(entry_reply(u"b"))
          .send(return_code_reply(0));
      return script;
    };
  };
  const auto list = [](Session& session) -> std::optional<Error> {
    auto entries = session.run([](IfsClient& client) { return client.list_directory("/d"); });
    if (entries) return std::nullopt;
    return entries.error();
  };
  const Case cases[] = {
      {"listing with a nameless entry", listing(nameless), list},
      {"listing with a return code", listing(return_code_reply(3, kMore)), list},
      {"listing with a foreign reply", listing(read_reply({1}, kMore)), list},
      {"read with a foreign reply",
       [] {
         ConnectionScript script;
         script.expect(kOpenId)
             .send(open_reply(kHandle, 4))
             .expect(kReadId)
             .send(read_reply({1, 2}, kMore))
             .send(entry_reply(u"x", kMore))
             .send(read_reply({3, 4}, kMore))
             .send(return_code_reply(0))
             .expect(close_request(kHandle))
             .send(close_reply());
         return script;
       },
       [](Session& session) -> std::optional<Error> {
         auto data = session.run([](IfsClient& client) { return client.read_range("/f", 0, 4); });
         if (data) return std::nullopt;
         return data.error();
       }},
      {"object attributes with a bad item",
       [bad_field] {
         ConnectionScript script;
         script.expect(kOpenId)
             .send(open_reply(kHandle, 4, 0xFFFF))
             .expect(kListId)
             .send(bad_field)
             .send(object_reply(37, 0))
             .expect(close_request(kHandle))
             .send(close_reply());
         return script;
       },
       [](Session& session) -> std::optional<Error> {
         auto ccsid =
             session.run([](IfsClient& client) { return client.source_member_ccsid("/QSYS.LIB/M.MBR"); });
         if (ccsid) return std::nullopt;
         return ccsid.error();
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto script = c.script();
    Session session(std::move(then_create_fails(script)));
    EXPECT_TRUE(c.operation(session).has_value());
    const auto created = create(session);
    ASSERT_FALSE(created);
    EXPECT_EQ(created.error().text(), kAlreadyExists);
  }
}

TEST(ChainRecovery, AStreamOutOfStepMakesEveryLaterCallFail) {
  struct Case {
    std::string name;
    Bytes bad;
    std::string message;
  };
  const Case cases[] = {
      {"no chain indicator", PacketBuilder(kServer, 0x8003).u8(20, 1).build(),
       "missing 16-bit value at offset 20"},
      {"bad packet length", fake_ibmi::from_hex("0000 0013 | 0000 E002"),
       "invalid IBM i file-service packet length 19"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Session session(ConnectionScript()
                        .expect(kOpenId)
                        .send(open_reply(kHandle, 4))
                        .expect(kReadId)
                        .send(read_reply({1, 2}, kMore))
                        .send(c.bad)
                        .send(read_reply({3, 4}, 0)));
    const auto data = session.run([](IfsClient& client) { return client.read_range("/f", 0, 4); });
    ASSERT_FALSE(data);
    EXPECT_EQ(data.error().text(), c.message);
    const auto created = create(session);
    ASSERT_FALSE(created);
    EXPECT_EQ(created.error().text(), "file-service connection is unusable after a failed exchange");
    session.finish();
    EXPECT_EQ(session.received().size(), 2u);  // the open and the read; no close, no create
  }
}

TEST(ChainRecovery, AReadWhoseChainNeverEndsFails) {
  // Return-code replies of 64 KiB that each say another follows: after the 32-byte data reply, the
  // 16th passes the bound of a 4-byte read (twice the count and 1 MiB), and is the last one sent, so
  // that the server is not left writing.
  const Bytes one =
      PacketBuilder(kServer, 0x8001).u16(20, kMore).u16(22, 0).bytes(64 * 1024 - 1, Bytes{0}).build();
  Bytes flood;
  for (int i = 0; i < 16; ++i) flood.insert(flood.end(), one.begin(), one.end());
  Session session(ConnectionScript()
                      .expect(kOpenId)
                      .send(open_reply(kHandle, 4))
                      .expect(kReadId)
                      .send(read_reply({1, 2}, kMore))
                      .send(std::move(flood)));
  const auto data = session.run([](IfsClient& client) { return client.read_range("/f", 0, 4); });
  ASSERT_FALSE(data);
  EXPECT_EQ(data.error().text(), "file-service reply chain exceeds 1048584 bytes");
  const auto created = create(session);
  ASSERT_FALSE(created);
  EXPECT_EQ(created.error().text(), "file-service connection is unusable after a failed exchange");
}

TEST(ChainRecovery, AReadMayComeInManySmallOrEmptyReplies) {
  // A byte per reply, and an empty reply after every fourth: far more replies than bytes.
  constexpr std::uint32_t kCount = 400;
  Bytes expected;
  Bytes replies;
  const auto append = [&replies](const Bytes& reply) {
    replies.insert(replies.end(), reply.begin(), reply.end());
  };
  for (std::uint32_t i = 0; i < kCount; ++i) {
    const auto byte = static_cast<std::uint8_t>(i * 7);
    expected.push_back(byte);
    append(read_reply({byte}, kMore));
    if (i % 4 == 0) append(read_reply({}, kMore));
  }
  append(return_code_reply(22));
  ConnectionScript script;
  script.expect(kOpenId)
      .send(open_reply(kHandle, kCount))
      .expect(read_request(kHandle, 0, kCount))
      .send(std::move(replies))
      .expect(close_request(kHandle))
      .send(close_reply());
  Session session(std::move(then_create_fails(script)));
  const auto data = session.run([](IfsClient& client) { return client.read_range("/f", 0, kCount); });
  ASSERT_TRUE(data) << data.error().text();
  EXPECT_EQ(*data, expected);
  const auto created = create(session);
  ASSERT_FALSE(created);
  EXPECT_EQ(created.error().text(), kAlreadyExists);
}

TEST(ChainRecovery, AListingPastTheCapFailsAloneAndTheConnectionGoesOn) {
  ConnectionScript script;
  script.expect(list_request(u"/d/*"));
  for (const char16_t* name : {u"a", u"b", u"c", u"d", u"e"}) script.send(entry_reply(name));
  script.send(return_code_reply(18));
  script.expect(list_request(u"/d/*")).send(entry_reply(u"a")).send(return_code_reply(18));
  Session session(std::move(then_create_fails(script)), ClientSettings{.max_chain_replies = 3});

  const auto long_listing = session.run([](IfsClient& client) { return client.list_directory("/d"); });
  ASSERT_FALSE(long_listing);
  EXPECT_EQ(long_listing.error().text(), "file-service reply chain exceeds 3 replies");
  // The next requests get their own replies.
  const auto short_listing = session.run([](IfsClient& client) { return client.list_directory("/d"); });
  ASSERT_TRUE(short_listing) << short_listing.error().text();
  ASSERT_EQ(short_listing->size(), 1u);
  EXPECT_EQ(short_listing->front().name, "a");
  const auto created = create(session);
  ASSERT_FALSE(created);
  EXPECT_EQ(created.error().text(), kAlreadyExists);
}

// Damaged listings whose framing and chain indicators hold: whatever the damage, the next exchange
// must read its own reply.
TEST(ChainRecovery, DamagedListingsNeverLeaveStaleReplies) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 150; ++round) {
    std::vector<Bytes> chain = {entry_reply(u"one"), entry_reply(u"two", kMore, 2, 77),
                                object_reply(5, kMore), entry_reply(u"three"), return_code_reply(18)};
    for (int damage = 0; damage < 4; ++damage) {
      Bytes& packet = chain[random() % chain.size()];
      std::size_t at = 16 + random() % (packet.size() - 16);
      if (at == 20 || at == 21) at = 16;
      packet[at] = static_cast<std::uint8_t>(random());
    }
    ConnectionScript script;
    script.expect(kListId);
    for (const auto& packet : chain) script.send(packet);
    Session session(std::move(then_create_fails(script)));
    SCOPED_TRACE(round);
    (void)session.run([](IfsClient& client) { return client.list_directory("/d"); });
    const auto created = create(session);
    ASSERT_FALSE(created);
    EXPECT_EQ(created.error().text(), kAlreadyExists);
  }
}

}  // namespace
}  // namespace morva::ifs::testing
