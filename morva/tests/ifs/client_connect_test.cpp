#include "morva/ifs/client.hpp"
#include "morva/signon/password_substitute.hpp"

#include "fake_ibmi/fake_server.hpp"
#include "fake_ibmi/packet_builder.hpp"
#include "run_awaitable.hpp"

#include <gtest/gtest.h>

#include <asio/io_context.hpp>

namespace morva::ifs {
namespace {

using fake_ibmi::Bytes;
using fake_ibmi::ConnectionScript;
using fake_ibmi::FakeServer;
using fake_ibmi::from_hex;
using fake_ibmi::PacketBuilder;

constexpr std::uint16_t kFileServer = 0xE002;
constexpr std::uint64_t kServerSeed = 0x0102030405060708;

Result<IfsClient> connect(std::uint16_t port, std::uint8_t password_level, std::string user = "user1",
                          server::ConnectionLimits limits = {}) {
  // Outlives the clients it made, whose sockets belong to it.
  static asio::io_context io;
  io.restart();
  const Secret password(std::string_view("secret"));
  return testing_support::run_awaitable(
      io, IfsClient::connect("127.0.0.1", port, user, password, password_level, limits));
}

Bytes seed_reply(std::uint8_t level, std::uint32_t code = 0) {
  return PacketBuilder(kFileServer, 0xF001).header_id(0, level).u32(20, code).u64(24, kServerSeed).build();
}

// "123456/QUSER/QPWFSERVSO" in EBCDIC with two trailing blanks, behind the item's 4 leading bytes.
const Bytes kJobNameData = from_hex("000004B0 | F1F2F3F4F5F6 61 D8E4E2C5D9 61 D8D7E6C6E2C5D9E5E2D6 4040");
constexpr std::string_view kJobName = "123456/QUSER/QPWFSERVSO";

Bytes start_reply(std::uint32_t code = 0) {
  return PacketBuilder(kFileServer, 0xF002).u32(20, code).item(0x111F, kJobNameData).build();
}

Bytes attribute_reply(std::string_view ccsid_item = "0000000A 000A 04B0 34B0") {
  return PacketBuilder(kFileServer, 0x8009)
      .u16(22, 16)
      .u32(26, 0x00010000)
      .bytes(30, from_hex(ccsid_item))
      .build();
}

// The attribute request, field by field: header, template, CCSID list item.
const Bytes kAttributeRequest = from_hex(
    "0000002A 0000 E002 00000000 00000000 000A 0016 | 0000 0010 0005 FFFFFFFF | 0000000C 000A 04B0 34B0 "
    "F200");

ConnectionScript sequence(Bytes seed, Bytes start, Bytes attributes) {
  return std::move(ConnectionScript()
                       .expect(0x7001)
                       .send(std::move(seed))
                       .expect(0x7002)
                       .send(std::move(start))
                       .expect(kAttributeRequest)
                       .send(std::move(attributes)));
}

TEST(IfsConnect, StartsAnAuthenticatedConnection) {
  FakeServer server(sequence(seed_reply(0), start_reply(), attribute_reply()));
  const auto client = connect(server.port(), 2);
  server.finish();
  ASSERT_TRUE(client.has_value()) << client.error().text();
  EXPECT_EQ(client->job_name(), kJobName);
  EXPECT_EQ(client->ccsid(), 1200);
  EXPECT_EQ(client->datastream_level(), 16);
  EXPECT_EQ(client->data_block_size(), 0x00010000u);

  ASSERT_EQ(server.received().size(), 3u);
  const Bytes& seed = server.received()[0];
  ASSERT_EQ(seed.size(), 28u);
  EXPECT_EQ(Bytes(seed.begin(), seed.begin() + 20),
            from_hex("0000001C 0300 E002 00000000 00000000 0008 7001"));

  // Level 2 (from the sign-on, the server said 0): a 20-byte substitute, then the user profile.
  const Bytes& start = server.received()[1];
  ASSERT_EQ(start.size(), 64u);
  EXPECT_EQ(Bytes(start.begin(), start.begin() + 28),
            from_hex("00000040 0200 E002 00000000 00000000 0002 7002 | 03 01 | 0000001A 1105"));
  EXPECT_EQ(Bytes(start.begin() + 48, start.end()), from_hex("00000010 1104 E4E2C5D9F14040404040"));

  // The substitute comes from the seed the client sent and the seed the server answered.
  std::uint64_t client_seed = 0;
  for (std::size_t i = 20; i < 28; ++i) client_seed = client_seed << 8 | seed[i];
  const signon::Seed server_seed = {1, 2, 3, 4, 5, 6, 7, 8};
  const auto expected =
      signon::password_substitute("user1", Secret(std::string_view("secret")), 2, client_seed, server_seed);
  ASSERT_TRUE(expected.has_value());
  EXPECT_EQ(Bytes(start.begin() + 28, start.begin() + 48),
            Bytes(expected->bytes().begin(), expected->bytes().end()));
}

TEST(IfsConnect, UsesTheDesSubstituteAtLevel0) {
  FakeServer server(sequence(seed_reply(0), start_reply(), attribute_reply()));
  ASSERT_TRUE(connect(server.port(), 0).has_value());
  server.finish();
  const Bytes& start = server.received().at(1);
  ASSERT_EQ(start.size(), 52u);
  EXPECT_EQ(start[20], 1);
  EXPECT_EQ(Bytes(start.begin() + 22, start.begin() + 28), from_hex("0000000E 1105"));
}

struct FailureCase {
  std::string label;
  std::uint8_t signon_level;
  ConnectionScript script;
  std::string error;
};

ConnectionScript up_to_start(Bytes start) {
  return std::move(
      ConnectionScript().expect(0x7001).send(seed_reply(3)).expect(0x7002).send(std::move(start)));
}

TEST(IfsConnect, ReportsEachRefusal) {
  const FailureCase cases[] = {
      {"seed refused", 3, ConnectionScript().expect(0x7001).send(seed_reply(3, 0x00010002)),
       "file-service seed exchange failed with 0x00010002"},
      {"levels differ", 3, ConnectionScript().expect(0x7001).send(seed_reply(2)),
       "file-service password level 2 does not match sign-on level 3"},
      {"seed reply short", 3,
       ConnectionScript().expect(0x7001).send(
           PacketBuilder(kFileServer, 0xF001).u32(20, 0).u32(24, 0).build()),
       "reply 0xF001 requires at least 32 bytes; received 28"},
      {"seed reply of another server", 3,
       ConnectionScript().expect(0x7001).send(PacketBuilder(0xE008, 0xF001).u64(24, 1).build()),
       "unexpected file-service reply: length=32, server=E008, id=F001"},
      {"start refused", 3, up_to_start(start_reply(0x0003000B)),
       "file-service authentication failed with 0x0003000B"},
      {"job name item too short", 3,
       up_to_start(PacketBuilder(kFileServer, 0xF002).u32(20, 0).item(0x111F, from_hex("000000")).build()),
       "file-service start reply did not include a job name"},
      {"no job name", 3,
       up_to_start(PacketBuilder(kFileServer, 0xF002).u32(20, 0).item(0x1120, kJobNameData).build()),
       "file-service start reply did not include a job name"},
      {"broken start item", 3,
       up_to_start(PacketBuilder(kFileServer, 0xF002).u32(20, 0).u32(24, 5).u16(28, 0x111F).build()),
       "invalid field length 5 at offset 24"},
      {"ccsid item of 7 bytes", 3,
       sequence(seed_reply(3), start_reply(), attribute_reply("00000007 000A 04 0000")),
       "file-service attribute reply has no preferred CCSID"},
      {"not a ccsid item", 3, sequence(seed_reply(3), start_reply(), attribute_reply("00000008 000B 04B0")),
       "file-service attribute reply has no preferred CCSID"},
      {"ccsid item below 6", 3, sequence(seed_reply(3), start_reply(), attribute_reply("00000005 000A 04B0")),
       "invalid field length 5 at offset 30"},
      {"ccsid item past the end", 3,
       sequence(seed_reply(3), start_reply(), attribute_reply("00000009 000A 04B0")),
       "invalid field length 9 at offset 30"},
      {"attribute reply short", 3,
       sequence(seed_reply(3), start_reply(), attribute_reply("00000007 000A 04")),
       "reply 0x8009 requires at least 38 bytes; received 37"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    FakeServer server(c.script);
    const auto client = connect(server.port(), c.signon_level);
    server.finish();
    ASSERT_FALSE(client.has_value());
    EXPECT_EQ(client.error().text(), c.error);
  }
}

TEST(IfsConnect, ReadsTheItemsTheWayTheServerSendsThem) {
  struct Case {
    std::string label;
    Bytes start;
    std::string_view ccsid_item;
    std::string job_name;
    std::uint16_t ccsid;
  };
  const Case cases[] = {
      {"short job-name item skipped",
       PacketBuilder(kFileServer, 0xF002)
           .u32(20, 0)
           .item(0x111F, from_hex("000000"))
           .item(0x111F, kJobNameData)
           .build(),
       "0000000A 000A 04B0 34B0", std::string(kJobName), 1200},
      {"empty job name",
       PacketBuilder(kFileServer, 0xF002).u32(20, 0).item(0x111F, from_hex("00000000")).build(),
       "0000000A 000A 04B0 34B0", "", 1200},
      {"one ccsid, not 1200", start_reply(), "00000008 000A 34B0", std::string(kJobName), 13488},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    FakeServer server(sequence(seed_reply(3), c.start, attribute_reply(c.ccsid_item)));
    const auto client = connect(server.port(), 3);
    server.finish();
    ASSERT_TRUE(client.has_value()) << client.error().text();
    EXPECT_EQ(client->job_name(), c.job_name);
    EXPECT_EQ(client->ccsid(), c.ccsid);
  }
}

TEST(IfsConnect, PassesOnTheSignonErrors) {
  FakeServer server(ConnectionScript().expect(0x7001).send(seed_reply(0)));
  const auto client = connect(server.port(), 0, "user.1");
  server.finish();
  ASSERT_FALSE(client.has_value());
  EXPECT_EQ(client.error().text(), "IBM i user profile contains an unsupported character");
}

TEST(IfsConnect, ASilentServerFailsAsTimedOut) {
  struct Case {
    const char* name;
    ConnectionScript script;
  };
  // Each server reads a request and says nothing more, with the connection left open.
  const Case cases[] = {
      {"no seed reply", ConnectionScript().expect(0x7001)},
      {"no start reply", ConnectionScript().expect(0x7001).send(seed_reply(0)).expect(0x7002)},
      {"no attribute reply", ConnectionScript()
                                 .expect(0x7001)
                                 .send(seed_reply(0))
                                 .expect(0x7002)
                                 .send(start_reply())
                                 .expect(kAttributeRequest)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServer server(c.script);
    const auto client = connect(server.port(), 2, "user1", {.time_limit = std::chrono::milliseconds(200)});
    server.finish();
    ASSERT_FALSE(client.has_value());
    EXPECT_EQ(client.error().io_kind(), IoErrorKind::timed_out);
    EXPECT_EQ(client.error().text(),
              "timed out waiting for file service at 127.0.0.1:" + std::to_string(server.port()));
  }
}

TEST(IfsConnect, ReportsAClosedPortAsAnIoError) {
  const auto client = connect(fake_ibmi::closed_port(), 2);
  ASSERT_FALSE(client.has_value());
  EXPECT_TRUE(client.error().is_io());
}

}  // namespace
}  // namespace morva::ifs
