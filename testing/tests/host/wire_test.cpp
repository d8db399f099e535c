// The file server's answers to requests that morva never sends: malformed packets, unknown handles,
// two connections at one member. Requests are written from the wire layout with PacketBuilder; the
// connection signs on with the fake's own substitute, which the sign-on tests check on their own.
#include <gmock/gmock.h>
#include <asio/connect.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include <sys/socket.h>
#include <sys/time.h>

#include "fake_ibmi/host/conversation.hpp"
#include "fake_ibmi/packet_builder.hpp"
#include "host_session.hpp"

namespace fake_ibmi::testing {
namespace {

constexpr std::uint16_t kServer = 0xE002;
const Bytes kTester = from_hex("E3C5E2E3C5D9 40404040");  // TESTER in CCSID 37

std::uint16_t u16_at(const Bytes& packet, std::size_t offset) {
  return static_cast<std::uint16_t>(packet.at(offset) << 8 | packet.at(offset + 1));
}

std::uint32_t u32_at(const Bytes& packet, std::size_t offset) {
  return std::uint32_t{u16_at(packet, offset)} << 16 | u16_at(packet, offset + 2);
}

Bytes utf16(std::string_view ascii) {
  Bytes bytes;
  for (const char c : ascii) bytes.insert(bytes.end(), {0, static_cast<std::uint8_t>(c)});
  return bytes;
}

// A signed-on file-server connection, spoken to packet by packet.
class FileWire {
 public:
  explicit FileWire(std::shared_ptr<HostState> state) : conversation_(start_file_conversation(state)) {
    const Seed client{1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes seeds = send(PacketBuilder(kServer, 0x7001).header_id(3, 0).bytes(20, client).build()).at(0);
    Seed server{};
    std::copy(seeds.begin() + 24, seeds.begin() + 32, server.begin());
    const auto substitute = expected_substitute(kTestUser, kTestPassword, 2, client, server);
    const Bytes started = send(PacketBuilder(kServer, 0x7002)
                                   .header_id(2, 0)
                                   .u8(20, 3)
                                   .u8(21, 1)
                                   .item(0x1105, substitute.value())
                                   .item(0x1104, kTester)
                                   .build())
                              .at(0);
    EXPECT_EQ(u32_at(started, 20), 0u) << "signed on";
  }

  std::vector<Bytes> send(const Bytes& request) {
    Answer answer = conversation_->answer(request);
    closed_ = answer.close;
    return std::move(answer.replies);
  }

  // Opens a path with an access (1 read, 2 write) and an open option; the handle, or the return code.
  std::pair<std::uint32_t, std::uint16_t> open(std::string_view path, std::uint16_t access,
                                               std::uint16_t option) {
    const Bytes reply = send(PacketBuilder(kServer, 0x0002)
                                 .u16(22, 1200)
                                 .u32(24, 1)
                                 .u16(28, 0xFFFF)
                                 .u16(30, access)
                                 .u16(36, option)
                                 .u16(46, 1)
                                 .u64(56, 0)
                                 .item(0x0002, utf16(path))
                                 .build())
                            .at(0);
    if (u16_at(reply, 18) == 0x8001) return {0, u16_at(reply, 22)};
    return {u32_at(reply, 22), 0};
  }

  bool closed() const { return closed_; }

 private:
  std::unique_ptr<Conversation> conversation_;
  bool closed_ = false;
};

std::shared_ptr<HostState> test_state() {
  return std::make_shared<HostState>(test_tree(), test_settings());
}

TEST(FakeFileWire, EndsConnectionsThatSkipTheSignOn) {
  auto conversation = start_file_conversation(test_state());
  const Answer answer =
      conversation->answer(PacketBuilder(kServer, 0x000A).item(0x0002, utf16("/*")).build());
  EXPECT_TRUE(answer.close);
  EXPECT_TRUE(answer.replies.empty());
}

TEST(FakeFileWire, AnswersMalformedAndUnknownRequestsWithReturnCodes) {
  struct Case {
    std::string what;
    Bytes request;
    std::uint16_t reply_id;
    std::uint16_t code;
  };
  const Case cases[] = {
      {"an item shorter than its head",
       PacketBuilder(kServer, 0x000A).template_length(20).bytes(40, from_hex("00000003 0002")).build(),
       0x8001, 17},
      {"a name of odd length",
       PacketBuilder(kServer, 0x000C).u32(24, 1).item(0x0002, from_hex("00 2F 00")).build(), 0x8001, 17},
      {"a rename without a target",
       PacketBuilder(kServer, 0x000F).u16(34, 0).item(0x0003, utf16("/home")).build(), 0x8001, 17},
      {"an unknown request", PacketBuilder(kServer, 0x0077).build(), 0x8001, 23},
      {"a read of an unknown handle",
       PacketBuilder(kServer, 0x0003).template_length(38).u32(22, 99).u32(34, 10).u64(50, 0).build(), 0x8001,
       6},
      {"a close of an unknown handle",
       PacketBuilder(kServer, 0x0009).template_length(21).u32(22, 99).u8(40, 0).build(), 0x8004, 6},
      {"an open with an unknown option",
       PacketBuilder(kServer, 0x0002)
           .template_length(44)
           .u16(30, 1)
           .u16(36, 3)
           .u64(56, 0)
           .item(0x0002, utf16("/home/tester/notes.txt"))
           .build(),
       0x8001, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FileWire wire(test_state());
    const auto replies = wire.send(c.request);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(u16_at(replies[0], 18), c.reply_id);
    EXPECT_EQ(u16_at(replies[0], 22), c.code);
    EXPECT_FALSE(wire.closed());
  }
}

TEST(FakeFileWire, RefusesWritesBeyondWhatItKeepsInMemory) {
  FileWire wire(test_state());
  const auto [handle, code] = wire.open("/home/tester/notes.txt", 2, 8);
  ASSERT_EQ(code, 0);
  const Bytes far = PacketBuilder(kServer, 0x0004)
                        .template_length(34)
                        .u32(22, handle)
                        .u64(46, std::uint64_t{1} << 40)
                        .item(0x0020, Bytes{1})
                        .build();
  const auto replies = wire.send(far);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(u16_at(replies[0], 18), 0x800B);
  EXPECT_EQ(u16_at(replies[0], 22), 11);
}

TEST(FakeFileWire, KeepsMembersWholeAndGuardsThemWhileOpen) {
  const auto state = test_state();
  FileWire writer(state);
  FileWire other(state);
  const std::string hello = "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR";
  const auto [handle, code] = writer.open(hello, 2, 16);
  ASSERT_EQ(code, 0);
  EXPECT_EQ(other.open(hello, 2, 8).second, 32) << "sharing violation";
  EXPECT_EQ(
      u16_at(other.send(PacketBuilder(kServer, 0x000C).u32(24, 1).item(0x0002, utf16(hello)).build()).at(0),
             22),
      1)
      << "file is in use";
  // Ten bytes of a record, then the close: the IBM i keeps the record whole, padded with blanks.
  const Bytes record_start = from_hex("C1C2C3C4C5 C6C7C8C9D1");
  writer.send(PacketBuilder(kServer, 0x0004)
                  .template_length(34)
                  .u32(22, handle)
                  .u64(46, 0)
                  .item(0x0020, record_start)
                  .build());
  writer.send(PacketBuilder(kServer, 0x0009).template_length(21).u32(22, handle).u8(40, 0).build());
  const Bytes data = [&] {
    const std::lock_guard lock(state->mutex);
    return state->tree.find(hello)->data;
  }();
  Bytes expected = record_start;
  expected.resize(80, 0x40);
  EXPECT_EQ(data, expected);
}

// Reads from a raw connection until the server ends it; false when it is still open after a while.
bool server_closes(asio::ip::tcp::socket& socket) {
  const timeval limit{.tv_sec = static_cast<time_t>(kTimeLimit.count()), .tv_usec = 0};
  setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::array<std::uint8_t, 64> buffer{};
  std::error_code error;
  while (!error) socket.read_some(asio::buffer(buffer), error);
  return error == asio::error::eof || error == asio::error::connection_reset;
}

TEST(FakeHostFraming, EndsConnectionsWhosePacketLengthIsImpossible) {
  FakeHost host(test_tree(), test_settings());
  for (const std::string_view length : {"00000013", "01000001"}) {
    SCOPED_TRACE(length);
    for (const std::uint16_t port : {host.ports().signon, host.ports().file, host.ports().command}) {
      asio::io_context io;
      asio::ip::tcp::socket socket(io);
      socket.connect({asio::ip::make_address(host.address()), port});
      asio::write(socket, asio::buffer(from_hex(length)));
      EXPECT_TRUE(server_closes(socket)) << port;
    }
  }
  EXPECT_TRUE(host.requests().empty());
}

}  // namespace
}  // namespace fake_ibmi::testing
