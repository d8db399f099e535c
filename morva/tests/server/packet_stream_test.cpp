#include "morva/server/packet_stream.hpp"

#include <gtest/gtest.h>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include <algorithm>
#include <chrono>
#include <optional>

#include "captured_events.hpp"
#include "fake_ibmi/hex.hpp"
#include "run_awaitable.hpp"

namespace morva::server {
namespace {

using fake_ibmi::Bytes;
using fake_ibmi::from_hex;
using namespace std::chrono_literals;

// Far longer than any exchange here takes.
const TimeLimit kGenerous{"the test peer", 5s};

using testing_support::run_awaitable;

// Sends `bytes` from a loopback peer, closes, and reads one packet from the other end.
Result<std::vector<std::uint8_t>> read_from_peer(const Bytes& bytes, const PacketChannel& channel) {
  asio::io_context io;
  asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
  asio::co_spawn(
      io,
      [&]() -> asio::awaitable<void> {
        auto peer = co_await acceptor.async_accept(asio::use_awaitable);
        co_await asio::async_write(peer, asio::buffer(bytes), asio::use_awaitable);
        peer.shutdown(asio::ip::tcp::socket::shutdown_send);
      },
      asio::detached);
  return run_awaitable(io, [&]() -> asio::awaitable<Result<std::vector<std::uint8_t>>> {
    asio::ip::tcp::socket socket(io);
    co_await socket.async_connect(acceptor.local_endpoint(), asio::use_awaitable);
    co_return co_await read_packet(socket, channel, kGenerous);
  }());
}

Bytes packet_of_length(std::uint32_t length, std::size_t bytes_present) {
  Bytes packet(bytes_present, 0xA5);
  for (std::size_t i = 0; i < 4 && i < bytes_present; ++i)
    packet[i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
  return packet;
}

struct ReadCase {
  const char* name;
  Bytes sent;
  std::optional<std::size_t> packet_length;  // or the error below
  IoErrorKind kind = IoErrorKind::other;
  const char* text = "";
};

TEST(ReadPacket, FramesByTheLengthFieldWithinItsLimits) {
  const ReadCase cases[] = {
      {"header only", from_hex("00000014 0000 E009 00000000 00000000 0000 F003"), 20},
      {"followed by the next packet",
       from_hex("00000016 0000 E009 00000000 00000000 0000 F003 ABCD 00000014"), 22},
      {"largest", packet_of_length(16'777'216, 16'777'216), 16'777'216},
      {"19", packet_of_length(19, 40), std::nullopt, IoErrorKind::invalid_data,
       "invalid IBM i packet length 19"},
      {"0", packet_of_length(0, 4), std::nullopt, IoErrorKind::invalid_data, "invalid IBM i packet length 0"},
      {"one above the largest", packet_of_length(16'777'217, 64), std::nullopt, IoErrorKind::invalid_data,
       "invalid IBM i packet length 16777217"},
      {"top bit set", packet_of_length(0x80000014, 64), std::nullopt, IoErrorKind::invalid_data,
       "invalid IBM i packet length 2147483668"},
      {"2 of the 4 length bytes", from_hex("0000"), std::nullopt, IoErrorKind::unexpected_eof, "early eof"},
      {"nothing at all", {}, std::nullopt, IoErrorKind::unexpected_eof, "early eof"},
      {"body cut short", packet_of_length(30, 29), std::nullopt, IoErrorKind::unexpected_eof, "early eof"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto packet = read_from_peer(c.sent, kCommandPackets);
    if (c.packet_length) {
      ASSERT_TRUE(packet.has_value()) << packet.error().diagnostic();
      EXPECT_TRUE(
          std::equal(packet->begin(), packet->end(), c.sent.begin(), c.sent.begin() + *c.packet_length));
      EXPECT_EQ(packet->size(), *c.packet_length);
    } else {
      ASSERT_FALSE(packet.has_value());
      EXPECT_EQ(packet.error().io_kind(), c.kind);
      EXPECT_EQ(packet.error().text(), c.text);
    }
  }
}

TEST(ReadPacket, FileServiceNamesItsPackets) {
  const auto packet = read_from_peer(packet_of_length(19, 20), kFileServicePackets);
  ASSERT_FALSE(packet.has_value());
  EXPECT_EQ(packet.error().text(), "invalid IBM i file-service packet length 19");
}

// A peer that sends each piece after a pause and then nothing more, keeping the connection open; one
// packet is read from the other end within the limit.
Result<std::vector<std::uint8_t>> read_from_paced_peer(const std::vector<Bytes>& pieces,
                                                       std::chrono::milliseconds pause,
                                                       std::chrono::milliseconds limit) {
  asio::io_context io;
  asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
  asio::ip::tcp::socket peer(io);
  asio::co_spawn(
      io,
      [&]() -> asio::awaitable<void> {
        co_await acceptor.async_accept(peer, asio::use_awaitable);
        asio::steady_timer timer(io);
        for (const Bytes& piece : pieces) {
          timer.expires_after(pause);
          co_await timer.async_wait(asio::use_awaitable);
          co_await asio::async_write(peer, asio::buffer(piece), asio::use_awaitable);
        }
      },
      asio::detached);
  return run_awaitable(io, [&]() -> asio::awaitable<Result<std::vector<std::uint8_t>>> {
    asio::ip::tcp::socket socket(io);
    co_await socket.async_connect(acceptor.local_endpoint(), asio::use_awaitable);
    // Named: GCC 12 destroys a temporary inside a co_await expression twice.
    const TimeLimit time_limit{"the test peer", limit};
    co_return co_await read_packet(socket, kCommandPackets, time_limit);
  }());
}

TEST(ReadPacket, TimesOutOnlyWhenNoBytesComeWithinTheLimit) {
  const Bytes packet = from_hex("00000018 0000 E008 00000000 00000000 0000 8001 01020304");
  std::vector<Bytes> byte_by_byte;
  for (const std::uint8_t byte : packet) byte_by_byte.push_back({byte});
  struct Case {
    const char* name;
    std::vector<Bytes> pieces;
    std::chrono::milliseconds pause;
    bool times_out;
  };
  const Case cases[] = {
      {"nothing at all", {}, 0ms, true},
      {"the length field, then nothing", {Bytes(packet.begin(), packet.begin() + 4)}, 0ms, true},
      {"half the packet, then nothing", {Bytes(packet.begin(), packet.begin() + 12)}, 0ms, true},
      // Far longer than the limit in all, but every byte comes within it.
      {"a byte at a time", byte_by_byte, 40ms, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto read = read_from_paced_peer(c.pieces, c.pause, 400ms);
    if (c.times_out) {
      ASSERT_FALSE(read.has_value());
      EXPECT_EQ(read.error().io_kind(), IoErrorKind::timed_out);
      EXPECT_EQ(read.error().text(), "timed out waiting for the test peer");
    } else {
      ASSERT_TRUE(read.has_value()) << read.error().diagnostic();
      EXPECT_EQ(*read, packet);
    }
  }
}

// A write stream that accepts at most `accept` bytes per write; once `error_after` bytes are written,
// every write fails with `error` (when set).
struct ScriptedWriteStream {
  using executor_type = asio::any_io_executor;

  executor_type executor;
  std::size_t accept = 0;
  std::error_code error{};
  std::size_t error_after = 0;
  Bytes written{};
  std::size_t writes = 0;

  executor_type get_executor() { return executor; }

  template <typename Buffers, typename Token>
  auto async_write_some(const Buffers& buffers, Token&& token) {
    return asio::async_initiate<Token, void(std::error_code, std::size_t)>(
        [this, buffers](auto handler) {
          ++writes;
          std::size_t count = 0;
          const std::error_code failure = written.size() >= error_after ? error : std::error_code{};
          if (!failure) {
            const asio::const_buffer buffer = *asio::buffer_sequence_begin(buffers);
            count = std::min(accept, buffer.size());
            const auto* bytes = static_cast<const std::uint8_t*>(buffer.data());
            written.insert(written.end(), bytes, bytes + count);
          }
          asio::post(executor, [handler = std::move(handler), e = failure, count]() mutable {
            std::move(handler)(e, count);
          });
        },
        token);
  }
};

TEST(WriteAll, WritesOnFromWherePartialWritesStopped) {
  asio::io_context io;
  ScriptedWriteStream stream{.executor = io.get_executor(), .accept = 3};
  const Bytes packet = from_hex("01 02 03 04 05 06 07 08 09 0A 0B");
  ASSERT_TRUE(run_awaitable(io, write_all(stream, packet, kGenerous)).has_value());
  EXPECT_EQ(stream.written, packet);
  EXPECT_EQ(stream.writes, 4u);
}

TEST(WriteAll, KeepsTheWriteErrors) {
  asio::io_context io;
  ScriptedWriteStream accepts_nothing{.executor = io.get_executor()};
  const auto zero = run_awaitable(io, write_all(accepts_nothing, from_hex("00000014"), kGenerous));
  ASSERT_FALSE(zero.has_value());
  EXPECT_EQ(zero.error().io_kind(), IoErrorKind::write_zero);
  EXPECT_EQ(zero.error().text(), "write zero");

  io.restart();
  ScriptedWriteStream broken{
      .executor = io.get_executor(), .accept = 100, .error = asio::error::connection_reset};
  const auto reset = run_awaitable(io, write_all(broken, from_hex("00000014"), kGenerous));
  ASSERT_FALSE(reset.has_value());
  EXPECT_EQ(reset.error().io_kind(), IoErrorKind::connection_reset);
  EXPECT_EQ(reset.error().system_code(), std::error_code(asio::error::connection_reset));
}

TEST(WriteAll, TimesOutWhenThePeerTakesNoMore) {
  asio::io_context io;
  asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
  asio::ip::tcp::socket peer(io);  // never reads
  acceptor.async_accept(peer, [](std::error_code) {});
  // More than the two ends' socket buffers hold.
  const Bytes plenty(64 << 20, 0x5A);
  const auto written = run_awaitable(io, [&]() -> asio::awaitable<Result<void>> {
    asio::ip::tcp::socket socket(io);
    co_await socket.async_connect(acceptor.local_endpoint(), asio::use_awaitable);
    const TimeLimit limit{"the test peer", 300ms};
    co_return co_await write_all(socket, plenty, limit);
  }());
  ASSERT_FALSE(written.has_value());
  EXPECT_EQ(written.error().io_kind(), IoErrorKind::timed_out);
  EXPECT_EQ(written.error().text(), "timed out writing to the test peer");
}

TEST(WritePacket, ZeroesOnlySensitivePacketsWhateverTheWriteDid) {
  struct Case {
    const char* name;
    std::size_t accept;
    std::error_code error;
    bool sensitive;
    bool succeeds;
    bool zeroed;
  };
  const Case cases[] = {
      {"sensitive, written", 64, {}, true, true, true},
      {"sensitive, write accepts nothing", 0, {}, true, false, true},
      {"sensitive, write fails half way", 5, asio::error::broken_pipe, true, false, true},
      {"not sensitive, written", 64, {}, false, true, false},
      {"not sensitive, write fails", 0, {}, false, false, false},
  };
  const Bytes original = from_hex("00000018 0200 E002 00000000 00000000 0000 7002 5EC2E7A5");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    asio::io_context io;
    ScriptedWriteStream stream{
        .executor = io.get_executor(), .accept = c.accept, .error = c.error, .error_after = 10};
    Bytes packet = original;
    const auto written = run_awaitable(
        io, write_packet(stream, kFileServicePackets, "ifs.start-server", packet, c.sensitive, kGenerous));
    EXPECT_EQ(written.has_value(), c.succeeds);
    EXPECT_EQ(std::all_of(packet.begin(), packet.end(), [](auto b) { return b == 0; }), c.zeroed);
    if (!c.zeroed) {
      EXPECT_EQ(packet, original);
    }
  }
}

TEST(PacketEvents, NameThePacketItsLengthAndSensitivity) {
  CapturedEvents events;
  asio::io_context io;
  ScriptedWriteStream stream{.executor = io.get_executor(), .accept = 64};
  Bytes packet = from_hex("00000018 0200 E002 00000000 00000000 0000 7002 5EC2E7A5");
  ASSERT_TRUE(run_awaitable(
      io, write_packet(stream, kFileServicePackets, "ifs.start-server", packet, true, kGenerous)));
  ASSERT_TRUE(read_from_peer(from_hex("00000014 0000 E008 00000000 00000000 0000 F002"), kCommandPackets));
  const std::vector<std::string> expected{
      "sending file-service packet packet=ifs.start-server length=24 sensitive=true",
      "received command packet length=20"};
  EXPECT_EQ(events.lines(), expected);
}

}  // namespace
}  // namespace morva::server
