#include "fake_ibmi/fake_server.hpp"

#include <functional>
#include <optional>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include "fake_ibmi/packet_builder.hpp"

namespace fake_ibmi {
namespace {

using asio::ip::tcp;
using namespace std::chrono_literals;

constexpr std::uint16_t kServerId = 0xE009;

// A plain blocking client; the server's bounded waits end every read it makes.
class Client {
 public:
  explicit Client(std::uint16_t port) : socket_(io_) {
    std::error_code error;
    socket_.connect(tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), port), error);
    EXPECT_FALSE(error) << error.message();
  }

  void write(const Bytes& bytes) {
    std::error_code error;
    asio::write(socket_, asio::buffer(bytes), error);
  }

  // One framed packet, or nothing at the end of the stream.
  std::optional<Bytes> read_packet() {
    Bytes packet(4);
    std::error_code error;
    asio::read(socket_, asio::buffer(packet), error);
    if (error) return std::nullopt;
    const std::size_t length = std::size_t{packet[0]} << 24 | packet[1] << 16 | packet[2] << 8 | packet[3];
    if (length < 4) return std::nullopt;
    packet.resize(length);
    asio::read(socket_, asio::buffer(packet.data() + 4, length - 4), error);
    if (error) return std::nullopt;
    return packet;
  }

  // Everything up to the end of the stream.
  Bytes read_to_end() {
    Bytes all;
    std::uint8_t chunk[256];
    std::error_code error;
    while (!error) {
      const std::size_t got = socket_.read_some(asio::buffer(chunk), error);
      all.insert(all.end(), chunk, chunk + got);
    }
    return all;
  }

 private:
  asio::io_context io_;
  tcp::socket socket_;
};

Bytes request(std::uint16_t id) {
  return PacketBuilder(kServerId, id).u32(20, 0x01020304).build();
}
Bytes reply(std::uint16_t id, std::uint8_t tag) {
  return PacketBuilder(kServerId, id).u8(20, tag).build();
}

TEST(FakeServer, ServesChainedRepliesAndChecksRequestsById) {
  std::optional<Bytes> checked;
  FakeServer server(ConnectionScript()
                        .expect(request(0x7001))
                        .send(reply(0xF001, 1))
                        .send(reply(0xF001, 2))
                        .send(reply(0xF001, 3))
                        .expect(0x7002,
                                [&](std::span<const std::uint8_t> packet) {
                                  checked = Bytes(packet.begin(), packet.end());
                                })
                        .send(reply(0xF002, 4)));
  Client client(server.port());
  client.write(request(0x7001));
  EXPECT_EQ(client.read_packet(), reply(0xF001, 1));
  EXPECT_EQ(client.read_packet(), reply(0xF001, 2));
  EXPECT_EQ(client.read_packet(), reply(0xF001, 3));
  client.write(request(0x7002));
  EXPECT_EQ(client.read_packet(), reply(0xF002, 4));
  server.finish();
  EXPECT_EQ(checked, request(0x7002));
  EXPECT_EQ(server.received(), (std::vector<Bytes>{request(0x7001), request(0x7002)}));
}

TEST(FakeServer, ServesConnectionsInTurn) {
  FakeServer server({ConnectionScript().expect(request(0x7001)).send(reply(0xF001, 1)).close(),
                     ConnectionScript().expect(request(0x7002)).send(reply(0xF002, 2))});
  {
    Client first(server.port());
    first.write(request(0x7001));
    EXPECT_EQ(first.read_packet(), reply(0xF001, 1));
    EXPECT_EQ(first.read_packet(), std::nullopt);  // closed by the script
  }
  Client second(server.port());
  second.write(request(0x7002));
  EXPECT_EQ(second.read_packet(), reply(0xF002, 2));
}

TEST(FakeServer, SendsRawBytesForTruncatedReplies) {
  FakeServer server(ConnectionScript().expect(request(0x7001)).send(from_hex("0000 0040 0000 E009")).close());
  Client client(server.port());
  client.write(request(0x7001));
  EXPECT_EQ(client.read_to_end(), from_hex("0000 0040 0000 E009"));
}

struct FaultCase {
  const char* name;
  std::vector<ConnectionScript> scripts;
  std::function<void(std::uint16_t port)> client;
  const char* failure;
};

void run(const FaultCase& c) {
  FakeServer server(c.scripts, 1000ms);
  c.client(server.port());
}

TEST(FakeServer, FailsTheTestOnEveryDeparture) {
  Bytes changed = request(0x7001);
  changed[22] ^= 0xFF;
  const FaultCase cases[] = {
      {"bytes that differ",
       {ConnectionScript().expect(request(0x7001))},
       [&](std::uint16_t port) {
         Client client(port);
         client.write(changed);
         client.read_to_end();
       },
       "connection 1, step 1: request differs from the expected one at offset 22"},
      {"another request ID",
       {ConnectionScript().expect(0x7001)},
       [](std::uint16_t port) {
         Client client(port);
         client.write(request(0x7004));
         client.read_to_end();
       },
       "expected request 0x7001, received 0x7004"},
      {"a request the client never sends before closing",
       {ConnectionScript().expect(0x7001).send(reply(0xF001, 1)).expect(0x7002)},
       [](std::uint16_t port) {
         Client client(port);
         client.write(request(0x7001));
         client.read_packet();
       },
       "connection 1, step 3: missing request 0x7002: the client closed the connection"},
      {"a request the client never sends on an open connection",
       {ConnectionScript().expect(0x7001)},
       [](std::uint16_t port) {
         Client client(port);
         client.read_to_end();
       },
       "missing request 0x7001: nothing arrived within 1000 ms"},
      {"a client that never connects",
       {ConnectionScript().expect(0x7001)},
       [](std::uint16_t) {},
       "connection 1: no client connected within 1000 ms"},
      {"a second connection that never comes",
       {ConnectionScript().close(), ConnectionScript().close()},
       [](std::uint16_t port) { Client(port).read_to_end(); },
       "connection 2: no client connected"},
      {"a request after the script",
       {ConnectionScript().expect(0x7001).send(reply(0xF001, 1))},
       [](std::uint16_t port) {
         Client client(port);
         client.write(request(0x7001));
         client.read_packet();
         client.write(request(0x7002));
         client.read_to_end();
       },
       "connection 1: unexpected request after the script: 00 00 00 18"},
      {"a connection after the script",
       {ConnectionScript().close()},
       [](std::uint16_t port) {
         Client(port).read_to_end();
         Client(port).read_to_end();
       },
       "connection 2: unexpected connection beyond the script"},
      {"a request with an invalid length",
       {ConnectionScript().expect(0x7001)},
       [](std::uint16_t port) {
         Client client(port);
         client.write(from_hex("0000 0013"));
         client.read_to_end();
       },
       "request with invalid length 19"},
      {"a request cut short",
       {ConnectionScript().expect(0x7001)},
       [](std::uint16_t port) { Client(port).write(from_hex("0000 0018 0000 E009")); },
       "connection closed inside a request after 8 of 24 bytes"},
      {"a check that fails",
       {ConnectionScript().expect(
           0x7001, [](std::span<const std::uint8_t> packet) { EXPECT_EQ(packet[6], 0xE0 + 1); })},
       [](std::uint16_t port) {
         Client client(port);
         client.write(request(0x7001));
       },
       "connection 1, step 1, request 0x7001"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NONFATAL_FAILURE(run(c), c.failure);
  }
}

}  // namespace
}  // namespace fake_ibmi
