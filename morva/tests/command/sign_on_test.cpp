#include "morva/command/sign_on.hpp"

#include <gtest/gtest.h>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>

#include <chrono>
#include <optional>
#include <thread>

#include "fake_ibmi/fake_server.hpp"
#include "fake_ibmi/packet_builder.hpp"
#include "morva/signon/password_substitute.hpp"
#include "run_awaitable.hpp"

namespace morva::command {
namespace {

using fake_ibmi::Bytes;
using fake_ibmi::ConnectionScript;
using fake_ibmi::FakeServer;
using fake_ibmi::from_hex;
using fake_ibmi::PacketBuilder;

constexpr std::uint16_t kSignon = 0xE009;
const Bytes kServerSeed = from_hex("0123456789ABCDEF");

Result<signon::SignonCredentials> run_sign_on(
    std::string_view host, std::uint16_t port, std::string_view user, std::string_view password,
    std::chrono::milliseconds time_limit = server::kExchangeTimeLimit) {
  asio::io_context io;
  return testing_support::run_awaitable(
      io, sign_on(host, port, user, Secret(password), {.time_limit = time_limit}), std::chrono::seconds(10));
}

// Reply 0xF003: return code, the server's version and datastream level at their fixed places, items.
PacketBuilder attribute_reply(std::uint32_t return_code = 0, std::uint16_t server_level = 10) {
  PacketBuilder reply(kSignon, 0xF003);
  reply.u32(20, return_code).u32(24, 10).u16(28, 0x1101).u32(30, 0x00070500);
  reply.u32(34, 8).u16(38, 0x1102).u16(40, server_level);
  return reply;
}

Bytes good_attribute_reply(std::uint8_t password_level, std::uint16_t server_level = 10) {
  return attribute_reply(0, server_level)
      .item(0x1119, Bytes{password_level})
      .item(0x1103, kServerSeed)
      .build();
}

Bytes info_reply(std::uint32_t return_code, std::uint16_t server_id = kSignon) {
  return PacketBuilder(server_id, 0xF004).u32(20, return_code).build();
}

// The exchange-attributes request apart from its seed (bytes 44 to 51).
void check_attribute_request(std::span<const std::uint8_t> packet) {
  const Bytes expected = from_hex(
      "00000034 0000 E009 00000000 00000000 0000 7003"
      "0000000A 1101 00000001"
      "00000008 1102 000A"
      "0000000E 1103");
  ASSERT_EQ(packet.size(), 52u);
  EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 44), expected);
}

std::uint64_t client_seed_of(std::span<const std::uint8_t> request) {
  std::uint64_t seed = 0;
  for (std::size_t i = 44; i < 52; ++i) seed = seed << 8 | request[i];
  return seed;
}

TEST(SignOn, SucceedsAtEveryPasswordLevel) {
  struct Case {
    std::uint8_t password_level;
    std::uint16_t server_level;
    std::uint8_t kind;
  };
  const Case cases[] = {{0, 10, 1}, {1, 4, 1}, {2, 10, 3}, {3, 4, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.password_level));
    FakeServer server(ConnectionScript()
                          .expect(0x7003, check_attribute_request)
                          .send(good_attribute_reply(c.password_level, c.server_level))
                          .expect(0x7004)
                          .send(info_reply(0)));
    const auto credentials = run_sign_on("127.0.0.1", server.port(), "user_1", "Secret1");
    server.finish();
    ASSERT_TRUE(credentials.has_value()) << credentials.error().diagnostic();
    EXPECT_EQ(credentials->user, "user_1");
    EXPECT_EQ(credentials->password.text(), "Secret1");
    EXPECT_EQ(credentials->password_level, c.password_level);

    ASSERT_EQ(server.received().size(), 2u);
    signon::Seed seed{};
    std::copy(kServerSeed.begin(), kServerSeed.end(), seed.begin());
    const auto substitute =
        signon::password_substitute("user_1", Secret(std::string_view("Secret1")), c.password_level,
                                    client_seed_of(server.received()[0]), seed);
    ASSERT_TRUE(substitute.has_value());
    PacketBuilder expected(kSignon, 0x7004);
    expected.template_length(1).u8(20, c.kind);
    expected.bytes(21, from_hex("0000000A 1113 000004B0"));
    expected.item(0x1105, substitute->bytes()).item(0x1104, from_hex("E4E2C5D96DF140404040"));
    if (c.server_level >= 5) expected.item(0x1128, from_hex("01"));
    EXPECT_EQ(server.received()[1], expected.build());
  }
}

TEST(SignOn, ReportsTheInformationReturnCode) {
  struct Case {
    std::uint32_t return_code;
    const char* error;
  };
  const Case cases[] = {
      {0x0003000B, "password or passphrase is incorrect (0x0003000B)"},
      {0x00020001, "user profile is unknown (0x00020001)"},
      {0x00099999, "unrecognized sign-on return code (0x00099999)"},
  };
  for (const Case& c : cases) {
    FakeServer server(ConnectionScript()
                          .expect(0x7003)
                          .send(good_attribute_reply(2))
                          .expect(0x7004)
                          .send(info_reply(c.return_code)));
    const auto credentials = run_sign_on("127.0.0.1", server.port(), "USER1", "wrong");
    server.finish();
    ASSERT_FALSE(credentials.has_value());
    EXPECT_EQ(credentials.error().text(), c.error);
    EXPECT_FALSE(credentials.error().is_io());
  }
}

TEST(SignOn, FailsOnMalformedAttributeReplies) {
  Bytes cut = good_attribute_reply(2);
  cut.resize(30);
  struct Case {
    const char* name;
    Bytes reply;
    const char* error;
    std::optional<IoErrorKind> kind = std::nullopt;
  };
  const Case cases[] = {
      {"return code before missing items", attribute_reply(0x00010004).build(),
       "sign-on attribute exchange failed with 0x00010004"},
      {"no password level", attribute_reply().item(0x1103, kServerSeed).build(),
       "sign-on server did not return a password level"},
      {"level without data", attribute_reply().item(0x1119).item(0x1103, kServerSeed).build(),
       "sign-on server did not return a password level"},
      {"seed of 7 bytes",
       attribute_reply().item(0x1119, from_hex("02")).item(0x1103, from_hex("01020304050607")).build(),
       "sign-on server did not return a server seed"},
      {"unknown level", good_attribute_reply(4),
       "password level 4 is not implemented; levels 0 through 3 are supported"},
      {"information reply first", PacketBuilder(kSignon, 0xF004).u32(20, 0).bytes(24, Bytes(18, 0)).build(),
       "not a sign-on attribute reply (server E009, reply F004)"},
      {"short", PacketBuilder(kSignon, 0xF003).u32(20, 0).build(),
       "exchange-attributes reply is shorter than 42 bytes"},
      {"item past the end", attribute_reply().bytes(42, from_hex("00000009 1119 02")).build(),
       "invalid field length 9 at offset 42"},
      {"length 19", from_hex("00000013 0000 E009 00000000 00000000 00 F003"),
       "invalid IBM i packet length 19", IoErrorKind::invalid_data},
      {"cut short", cut, "early eof", IoErrorKind::unexpected_eof},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServer server(ConnectionScript().expect(0x7003).send(c.reply).close());
    const auto credentials = run_sign_on("127.0.0.1", server.port(), "USER1", "secret");
    server.finish();
    ASSERT_FALSE(credentials.has_value());
    EXPECT_EQ(credentials.error().text(), c.error);
    EXPECT_EQ(credentials.error().io_kind(), c.kind);
  }
}

TEST(SignOn, FailsOnAMalformedInformationReply) {
  struct Case {
    Bytes reply;
    const char* error;
  };
  const Case cases[] = {
      {info_reply(0, 0xE008), "not a sign-on information reply (server E008, reply F004)"},
      {PacketBuilder(kSignon, 0xF004).u16(20, 0).build(),
       "sign-on information reply is shorter than 24 bytes"},
      {PacketBuilder(kSignon, 0xF004).u32(20, 0).bytes(24, from_hex("00000004 1106")).build(),
       "invalid field length 4 at offset 24"},
  };
  for (const Case& c : cases) {
    FakeServer server(
        ConnectionScript().expect(0x7003).send(good_attribute_reply(0)).expect(0x7004).send(c.reply).close());
    const auto credentials = run_sign_on("127.0.0.1", server.port(), "USER1", "SECRET");
    server.finish();
    ASSERT_FALSE(credentials.has_value());
    EXPECT_EQ(credentials.error().text(), c.error);
  }
}

TEST(SignOn, RefusesTheUserProfileAfterTheAttributeExchange) {
  FakeServer server(ConnectionScript().expect(0x7003).send(good_attribute_reply(2)).close());
  const auto credentials = run_sign_on("127.0.0.1", server.port(), "USER.1", "secret");
  server.finish();
  ASSERT_FALSE(credentials.has_value());
  EXPECT_EQ(credentials.error().text(), "IBM i user profile contains an unsupported character");
}

TEST(SignOn, KeepsTheSocketErrorOfAConnectionRefused) {
  const auto credentials = run_sign_on("127.0.0.1", fake_ibmi::closed_port(), "USER1", "secret");
  ASSERT_FALSE(credentials.has_value());
  EXPECT_EQ(credentials.error().io_kind(), IoErrorKind::connection_refused);
  EXPECT_TRUE(credentials.error().system_code());
}

TEST(SignOn, ASilentServerFailsAsTimedOut) {
  struct Case {
    const char* name;
    ConnectionScript script;
  };
  // Each server reads a request and says nothing more, with the connection left open.
  const Case cases[] = {
      {"no attribute reply", ConnectionScript().expect(0x7003)},
      {"no information reply",
       ConnectionScript().expect(0x7003).send(good_attribute_reply(2)).expect(0x7004)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServer server(c.script);
    const auto credentials =
        run_sign_on("127.0.0.1", server.port(), "USER1", "secret", std::chrono::milliseconds(200));
    server.finish();
    ASSERT_FALSE(credentials.has_value());
    EXPECT_EQ(credentials.error().io_kind(), IoErrorKind::timed_out);
    EXPECT_EQ(credentials.error().text(),
              "timed out waiting for sign-on service at 127.0.0.1:" + std::to_string(server.port()));
  }
}

TEST(SignOn, AConnectThatIsNeverAcceptedFailsAsTimedOut) {
  // A listener whose queue of connections is full: the system leaves a further connect unanswered.
  asio::io_context io;
  asio::ip::tcp::acceptor acceptor(io);
  acceptor.open(asio::ip::tcp::v4());
  acceptor.bind({asio::ip::address_v4::loopback(), 0});
  acceptor.listen(0);
  asio::ip::tcp::socket queued(io);
  queued.connect(acceptor.local_endpoint());

  const std::uint16_t port = acceptor.local_endpoint().port();
  const auto credentials = run_sign_on("127.0.0.1", port, "USER1", "secret", std::chrono::milliseconds(200));
  ASSERT_FALSE(credentials.has_value());
  EXPECT_EQ(credentials.error().io_kind(), IoErrorKind::timed_out);
  EXPECT_EQ(credentials.error().text(),
            "timed out connecting to sign-on service at 127.0.0.1:" + std::to_string(port));
}

TEST(SignOn, ConnectsToAnIpv6Literal) {
  asio::io_context io;
  asio::ip::tcp::acceptor acceptor(io);
  std::error_code error;
  acceptor.open(asio::ip::tcp::v6(), error);
  if (!error) acceptor.bind({asio::ip::address_v6::loopback(), 0}, error);
  if (!error) acceptor.listen(1, error);
  if (error) GTEST_SKIP() << "no IPv6 loopback: " << error.message();

  // Takes the first request and closes without a reply; waits at most 10 seconds for it.
  std::optional<Bytes> request;
  std::thread peer([&] {
    acceptor.async_accept([&](std::error_code accept_error, asio::ip::tcp::socket socket) {
      Bytes bytes(52);
      if (!accept_error && asio::read(socket, asio::buffer(bytes), accept_error) == bytes.size())
        request = bytes;
    });
    io.run_for(std::chrono::seconds(10));
  });
  const auto credentials = run_sign_on("::1", acceptor.local_endpoint().port(), "USER1", "secret");
  peer.join();
  ASSERT_FALSE(credentials.has_value());
  EXPECT_EQ(credentials.error().text(), "early eof");
  ASSERT_TRUE(request.has_value());
  check_attribute_request(*request);
}

}  // namespace
}  // namespace morva::command
