#include "morva/command/command_client.hpp"

#include "morva/command/sign_on.hpp"

#include "captured_events.hpp"
#include "fake_ibmi/fake_server.hpp"
#include "fake_ibmi/packet_builder.hpp"
#include "reply_builder.hpp"
#include "run_awaitable.hpp"

#include <gtest/gtest.h>
#include <asio/io_context.hpp>

namespace morva::command {
namespace {

using fake_ibmi::Bytes;
using fake_ibmi::ConnectionScript;
using fake_ibmi::FakeServer;
using fake_ibmi::from_hex;
using fake_ibmi::PacketBuilder;
using testing::Receiver;

constexpr std::uint16_t kServer = 0xE008;

// One runtime for all tests: a connection keeps using the runtime it was opened on between runs.
asio::io_context& runtime() {
  static asio::io_context io;
  return io;
}

// Runs the operation to its end.
template <typename T>
T run(asio::awaitable<T> operation) {
  return testing_support::run_awaitable(runtime(), std::move(operation));
}

signon::SignonCredentials credentials(std::uint8_t password_level = 2) {
  return {.user = "user_1", .password = Secret(std::string_view("secret")), .password_level = password_level};
}

// The connection's three exchanges as the server sees them: the layout of each request and the
// server's replies (job name 123456/QUSER/QZRCSRVS, the given CCSID and datastream level).
ConnectionScript& opening(ConnectionScript& script, std::uint32_t ccsid = 277, std::uint16_t level = 11,
                          std::uint8_t server_password_level = 2) {
  return script
      .expect(0x7001,
              [](std::span<const std::uint8_t> packet) {
                ASSERT_EQ(packet.size(), 28u);
                EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 20),
                          from_hex("0000001C 0300 E008 00000000 00000000 0008 7001"));
              })
      .send(PacketBuilder(kServer, 0xF001)
                .header_id(0, server_password_level)
                .u32(20, 0)
                .u64(24, 0x0102030405060708)
                .build())
      .expect(0x7002,
              [](std::span<const std::uint8_t> packet) {
                // SHA-1 substitute of 20 bytes, then the user profile USER_1 in EBCDIC.
                ASSERT_EQ(packet.size(), 64u);
                EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 28),
                          from_hex("00000040 0200 E008 00000000 00000000 0002 7002 03 01 0000001A 1105"));
                EXPECT_EQ(Bytes(packet.begin() + 48, packet.end()),
                          from_hex("00000010 1104 E4E2C5D96DF140404040"));
              })
      .send(PacketBuilder(kServer, 0xF002)
                .u32(20, 0)
                .item(0x111F, from_hex("00000000 F1F2F3F4F5F6 61 D8E4E2C5D9 61 D8E9D9C3E2D9E5E2 4040"))
                .build())
      .expect(from_hex("00000022 0000 E008 00000000 00000000 000E 1001 000004B0 F2F9F2F4 00000001 0000"))
      .send(PacketBuilder(kServer, 0x8001).u16(20, 0).u32(22, ccsid).u16(34, level).build());
}

ConnectionScript opened(std::uint32_t ccsid = 277, std::uint16_t level = 11) {
  ConnectionScript script;
  opening(script, ccsid, level);
  return script;
}

Result<CommandClient> connect(const FakeServer& server, std::uint8_t password_level = 2,
                              std::chrono::milliseconds time_limit = server::kExchangeTimeLimit) {
  const auto signed_on = credentials(password_level);
  return run(CommandClient::connect("127.0.0.1", server.port(), signed_on, {.time_limit = time_limit}));
}

TEST(CommandClient, ConnectsAndKeepsTheServerAttributes) {
  FakeServer server(opened(277, 11));
  const auto client = connect(server);
  server.finish();
  ASSERT_TRUE(client.has_value()) << client.error().text();
  EXPECT_EQ(client->job_name(), "123456/QUSER/QZRCSRVS");
  EXPECT_EQ(client->ccsid(), 277u);
  EXPECT_EQ(client->datastream_level(), 11);
}

TEST(CommandClient, ChecksTheServerPasswordLevel) {
  struct Case {
    std::uint8_t server_level;
    std::uint8_t signon_level;
    std::string_view error;
  };
  const Case cases[] = {
      {0, 2, ""},
      {2, 2, ""},
      {3, 2, "remote-command password level 3 does not match sign-on level 2"},
      {0, 4, "password level 4 is not implemented; levels 0 through 3 are supported"},
  };
  for (const Case& c : cases) {
    ConnectionScript script;
    if (c.error.empty()) {
      opening(script, 277, 11, c.server_level);
    } else {
      // Nothing is sent after the seed exchange.
      script.expect(0x7001).send(
          PacketBuilder(kServer, 0xF001).header_id(0, c.server_level).u32(20, 0).u64(24, 1).build());
    }
    FakeServer server(std::move(script));
    const auto client = connect(server, c.signon_level);
    server.finish();
    if (c.error.empty()) {
      EXPECT_TRUE(client.has_value()) << int{c.server_level} << ": " << client.error().text();
    } else {
      ASSERT_FALSE(client.has_value()) << int{c.server_level};
      EXPECT_EQ(client.error().text(), c.error);
      EXPECT_EQ(server.received().size(), 1u);
    }
  }
}

TEST(CommandClient, ReportsAFailedAuthentication) {
  ConnectionScript script;
  script.expect(0x7001)
      .send(PacketBuilder(kServer, 0xF001).u32(20, 0).u64(24, 1).build())
      .expect(0x7002)
      .send(PacketBuilder(kServer, 0xF002).u32(20, 0x0003000B).build());
  FakeServer server(std::move(script));
  const auto client = connect(server);
  server.finish();
  ASSERT_FALSE(client.has_value());
  EXPECT_EQ(client.error().text(), "remote-command authentication failed with 0x0003000B");
}

// A request 0x1003 that calls `program` with `count` parameters.
fake_ibmi::RequestCheck calls(std::string_view program_hex, std::uint16_t count,
                              std::uint8_t message_option = 6) {
  return [program = from_hex(program_hex), count, message_option](std::span<const std::uint8_t> packet) {
    ASSERT_GE(packet.size(), 43u);
    EXPECT_EQ(Bytes(packet.begin() + 20, packet.begin() + 30), program);
    EXPECT_EQ(Bytes(packet.begin() + 30, packet.begin() + 40), from_hex("D8E2E8E2 404040404040"));
    EXPECT_EQ(packet[40], message_option);
    EXPECT_EQ(Bytes(packet.begin() + 41, packet.begin() + 43), Bytes({0, static_cast<std::uint8_t>(count)}));
  };
}

const char* const kQusrmbrd = "D8E4E2D9D4C2D9C4 4040";
const char* const kQdbrtvfd = "D8C4C2D9E3E5C6C4 4040";
const char* const kQusrobjd = "D8E4E2D9D6C2D1C4 4040";
const char* const kQwcrssts = "D8E6C3D9E2E2E3E2 4040";

Bytes ebcdic_member_reply() {
  return Receiver(332, 0x40)
      .u32(0, 332)
      .bytes(28, from_hex("C8C5D3D3D6"))              // HELLO
      .bytes(48, from_hex("D9D7C7D3C5"))              // RPGLE
      .bytes(84, from_hex("C7998585A3A2 40 7B7C5B"))  // Greets ÆØÅ
      .reply();
}

Bytes ebcdic_object_reply() {
  return Receiver(180, 0x40)
      .u32(0, 180)
      .bytes(8, from_hex("D8D9D7C7D3C5E2D9C3"))  // QRPGLESRC
      .bytes(18, from_hex("D4E8D3C9C2"))         // MYLIB
      .bytes(28, from_hex("5CC6C9D3C5"))         // *FILE
      .u32(48, 1)
      .bytes(90, from_hex("D7C640"))  // PF
      .reply();
}

Bytes file_reply() {
  return Receiver(400).byte(8, 0x08).u16(304, 112).reply();
}
Bytes storage_reply() {
  return Receiver(144).u32(4, 144).u32(48, 1000).u32(52, 500'000).u32(56, 4000).reply();
}

TEST(CommandClient, CallsTheFourApis) {
  ConnectionScript script = opened(277, 11);
  script.expect(0x1003, calls(kQusrmbrd, 7))
      .send(ebcdic_member_reply())
      .expect(0x1003, calls(kQdbrtvfd, 10))
      .send(file_reply())
      .expect(0x1003, calls(kQusrobjd, 6))
      .send(ebcdic_object_reply())
      .expect(0x1003, calls(kQwcrssts, 5))
      .send(storage_reply());
  FakeServer server(std::move(script));
  auto client = connect(server);
  ASSERT_TRUE(client.has_value()) << client.error().text();

  const auto member = run(client->retrieve_member_description("mylib", "qrpglesrc", "hello"));
  const auto file = run(client->retrieve_file_description("mylib", "qrpglesrc"));
  const auto object = run(client->retrieve_object_description("mylib", "qrpglesrc", "FILE"));
  const auto storage = run(client->retrieve_system_storage());
  server.finish();

  ASSERT_TRUE(member.has_value()) << member.error().text();
  EXPECT_EQ(member->member, "HELLO");
  EXPECT_EQ(member->source_type, "RPGLE");
  EXPECT_EQ(member->description, "Greets \u00C6\u00D8\u00C5");
  ASSERT_TRUE(file.has_value()) << file.error().text();
  EXPECT_EQ(file->record_length, 112);
  ASSERT_TRUE(object.has_value()) << object.error().text();
  EXPECT_EQ(object->object, "QRPGLESRC");
  EXPECT_EQ(object->object_type, "FILE");
  EXPECT_EQ(object->attribute, "PF");
  EXPECT_EQ(object->asp, 1u);
  ASSERT_TRUE(storage.has_value()) << storage.error().text();
  EXPECT_EQ(storage->system_asp_used, 500'000u);

  // The member call carries its file, library and member; the object call its type.
  ASSERT_EQ(server.received().size(), 7u);
  const Bytes& member_call = server.received()[3];
  EXPECT_EQ(Bytes(member_call.begin() + 103, member_call.begin() + 123),
            from_hex("D8D9D7C7D3C5E2D9C340 D4E8D3C9C24040404040"));
  const Bytes& object_call = server.received()[5];
  EXPECT_EQ(Bytes(object_call.end() - 22, object_call.end() - 12), from_hex("5CC6C9D3C5 4040404040"));
}

TEST(CommandClient, OldServersGetTheOldMessageOption) {
  ConnectionScript script = opened(277, 10);
  script.expect(0x1003, calls(kQwcrssts, 5, 4)).send(storage_reply());
  FakeServer server(std::move(script));
  auto client = connect(server);
  ASSERT_TRUE(client.has_value()) << client.error().text();
  EXPECT_TRUE(run(client->retrieve_system_storage()).has_value());
  server.finish();
}

TEST(CommandClient, UnsupportedCcsidFailsOnlyTheTextReceivers) {
  ConnectionScript script = opened(37, 11);
  script.expect(0x1003, calls(kQusrmbrd, 7))
      .send(ebcdic_member_reply())
      .expect(0x1003, calls(kQusrobjd, 6))
      .send(ebcdic_object_reply())
      .expect(0x1003, calls(kQdbrtvfd, 10))
      .send(file_reply())
      .expect(0x1003, calls(kQwcrssts, 5))
      .send(storage_reply());
  FakeServer server(std::move(script));
  auto client = connect(server);
  ASSERT_TRUE(client.has_value()) << client.error().text();

  const auto member = run(client->retrieve_member_description("L", "F", "M"));
  const auto object = run(client->retrieve_object_description("L", "O", "FILE"));
  // Each failed parse had read its reply, so the next calls get their own.
  const auto file = run(client->retrieve_file_description("L", "F"));
  const auto storage = run(client->retrieve_system_storage());
  server.finish();
  ASSERT_FALSE(member.has_value());
  EXPECT_EQ(member.error().text(), "file data CCSID 37 is not supported");
  ASSERT_FALSE(object.has_value());
  EXPECT_EQ(object.error().text(), "file data CCSID 37 is not supported");
  EXPECT_TRUE(file.has_value());
  EXPECT_TRUE(storage.has_value());
}

TEST(CommandClient, AFailedExchangeLeavesTheConnectionUnusable) {
  struct Case {
    std::string_view name;
    Bytes answer;  // what the server answers the first call with, before it closes
    std::string_view error;
  };
  const Bytes reply = storage_reply();
  // A bad length, then a reply that would answer the next call if the stream were read on.
  Bytes bad_length_then_reply = from_hex("00000013 0000");
  bad_length_then_reply.insert(bad_length_then_reply.end(), reply.begin(), reply.end());
  const Case cases[] = {
      {"no reply", {}, "early eof"},
      {"half a reply", Bytes(reply.begin(), reply.begin() + 30), "early eof"},
      {"length below a header", bad_length_then_reply, "invalid IBM i packet length 19"},
  };
  for (const Case& c : cases) {
    ConnectionScript script = opened();
    script.expect(0x1003);
    if (!c.answer.empty()) script.send(c.answer);
    script.close();
    FakeServer server(std::move(script));
    auto client = connect(server);
    ASSERT_TRUE(client.has_value()) << client.error().text();

    const auto first = run(client->retrieve_system_storage());
    const auto second = run(client->retrieve_file_description("L", "F"));
    server.finish();
    ASSERT_FALSE(first.has_value()) << c.name;
    EXPECT_TRUE(first.error().is_io()) << c.name;
    EXPECT_EQ(first.error().text(), c.error) << c.name;
    ASSERT_FALSE(second.has_value()) << c.name;
    EXPECT_EQ(second.error().text(), "remote-command connection is unusable after a failed exchange")
        << c.name;
    EXPECT_EQ(server.received().size(), 4u) << c.name;
  }
}

TEST(CommandClient, ASilentServerFailsAsTimedOutAndLeavesTheConnectionUnusable) {
  constexpr std::chrono::milliseconds kLimit(200);
  const auto timed_out = [](const Error& error, const FakeServer& server) {
    EXPECT_EQ(error.io_kind(), IoErrorKind::timed_out);
    EXPECT_EQ(error.text(),
              "timed out waiting for remote-command service at 127.0.0.1:" + std::to_string(server.port()));
  };
  {
    SCOPED_TRACE("no seed reply");
    FakeServer server(ConnectionScript().expect(0x7001));
    const auto client = connect(server, 2, kLimit);
    server.finish();
    ASSERT_FALSE(client.has_value());
    timed_out(client.error(), server);
  }
  SCOPED_TRACE("no reply to a program call");
  ConnectionScript script = opened();
  script.expect(0x1003);
  FakeServer server(std::move(script));
  auto client = connect(server, 2, kLimit);
  ASSERT_TRUE(client.has_value()) << client.error().text();
  const auto first = run(client->retrieve_system_storage());
  const auto second = run(client->retrieve_file_description("L", "F"));
  server.finish();
  ASSERT_FALSE(first.has_value());
  timed_out(first.error(), server);
  ASSERT_FALSE(second.has_value());
  EXPECT_EQ(second.error().text(), "remote-command connection is unusable after a failed exchange");
  EXPECT_EQ(server.received().size(), 4u);
}

// The sign-on server's side: exchange attributes 0xF003 (return code at 20, version and datastream
// level items at 24 and 34, then password level 2 and the server seed as items), sign-on
// information 0xF004 (return code 0).
ConnectionScript signon_server() {
  ConnectionScript script;
  script.expect(0x7003)
      .send(PacketBuilder(0xE009, 0xF003)
                .u32(20, 0)
                .item(0x1101, from_hex("00000001"))
                .item(0x1102, from_hex("000A"))
                .item(0x1119, from_hex("02"))
                .item(0x1103, from_hex("0807060504030201"))
                .build())
      .expect(0x7004)
      .send(PacketBuilder(0xE009, 0xF004).u32(20, 0).build());
  return script;
}

TEST(CommandClient, SignsOnAndConnectsForReal) {
  FakeServer signon(signon_server());
  ConnectionScript script = opened(1208, 12);
  script.expect(0x1003, calls(kQusrobjd, 6))
      .send(Receiver(180, ' ').u32(0, 180).text(8, "PAYROLL").text(18, "MYLIB").text(28, "*PGM").reply());
  FakeServer command(std::move(script));

  const auto object = run([&]() -> asio::awaitable<Result<ObjectDescription>> {
    auto credentials =
        co_await sign_on("127.0.0.1", signon.port(), "user_1", Secret(std::string_view("secret")));
    if (!credentials) co_return std::unexpected(credentials.error());
    EXPECT_EQ(credentials->password_level, 2);
    auto client = co_await CommandClient::connect("127.0.0.1", command.port(), *credentials);
    if (!client) co_return std::unexpected(client.error());
    co_return co_await client->retrieve_object_description("mylib", "payroll", "PGM");
  }());
  signon.finish();
  command.finish();
  ASSERT_TRUE(object.has_value()) << object.error().text();
  EXPECT_EQ(object->object, "PAYROLL");
  EXPECT_EQ(object->object_type, "PGM");
}

TEST(CommandClient, LogsOnlyTheStartServerPacketAsSensitive) {
  FakeServer server(opened());
  std::vector<std::string> lines;
  {
    const CapturedEvents events;
    ASSERT_TRUE(connect(server).has_value());
    lines = events.lines();
  }
  server.finish();
  std::vector<std::string> sent;
  for (const std::string& line : lines)
    if (line.starts_with("sending command packet")) sent.push_back(line);
  EXPECT_EQ(sent, (std::vector<std::string>{
                      "sending command packet packet=command.exchange-seeds length=28 sensitive=false",
                      "sending command packet packet=command.start-server length=64 sensitive=true",
                      "sending command packet packet=command.exchange-attributes length=34 sensitive=false",
                  }));
  EXPECT_NE(
      std::find(lines.begin(), lines.end(),
                "connecting to remote-command service address=127.0.0.1:" + std::to_string(server.port())),
      lines.end());
}

}  // namespace
}  // namespace morva::command
