// A file-service client on a scripted fake file server, and the server's packets written from the
// wire layout.
#pragma once

#include "fake_ibmi/fake_server.hpp"
#include "fake_ibmi/packet_builder.hpp"
#include "morva/ifs/client.hpp"
#include "run_awaitable.hpp"

#include <gtest/gtest.h>
#include <asio/io_context.hpp>

#include <optional>
#include <string_view>

namespace morva::ifs::testing {

using fake_ibmi::Bytes;
using fake_ibmi::ConnectionScript;
using fake_ibmi::PacketBuilder;

inline constexpr std::uint16_t kServer = 0xE002;
inline constexpr std::uint16_t kMore = 1;  // chain indicator: another reply follows

struct ClientSettings {
  std::uint32_t data_block_size = 4096;
  std::uint16_t ccsid = 1200;
  std::uint16_t datastream_level = 16;
  server::ConnectionLimits limits{};
  std::uint64_t max_chain_replies = kMaxChainReplies;
};

class Session {
 public:
  explicit Session(ConnectionScript script, ClientSettings settings = {})
      : server_(std::move(script), std::chrono::milliseconds(2000)) {
    asio::ip::tcp::socket socket(io_);
    socket.connect({asio::ip::make_address_v4("127.0.0.1"), server_.port()});
    client_.emplace(std::move(socket), "QZLSFILE", settings.data_block_size, settings.ccsid,
                    settings.datastream_level, settings.limits, settings.max_chain_replies);
  }

  // Runs one operation of the client to its end.
  template <typename Operation>
  auto run(Operation operation) {
    return testing_support::run_awaitable(io_, operation(*client_));
  }

  std::uint16_t server_port() const { return server_.port(); }

  // Ends the script and reports what the server saw go wrong.
  void finish() { server_.finish(); }
  const std::vector<Bytes>& received() const { return server_.received(); }

 private:
  asio::io_context io_;
  fake_ibmi::FakeServer server_;
  std::optional<IfsClient> client_;
};

// UTF-16 big-endian, as the server writes names.
inline Bytes utf16(std::u16string_view text) {
  Bytes bytes;
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    bytes.push_back(static_cast<std::uint8_t>(unit));
  }
  return bytes;
}

// 0x8001: chain indicator at 20, return code at 22.
inline Bytes return_code_reply(std::uint16_t code, std::uint16_t chain = 0) {
  return PacketBuilder(kServer, 0x8001).u16(20, chain).u16(22, code).build();
}

// 0x8005 directory entry: modified at 30, 32-bit size at 46, object type at 54, 64-bit size at 81,
// then the name item (CP 0x0002).
inline Bytes entry_reply(std::u16string_view name, std::uint16_t chain = kMore, std::uint16_t object_type = 1,
                         std::uint64_t size = 0) {
  return PacketBuilder(kServer, 0x8005)
      .u16(20, chain)
      .u32(30, 1700000000)
      .u32(46, static_cast<std::uint32_t>(size))
      .u16(54, object_type)
      .u64(81, size)
      .item(0x0002, utf16(name))
      .build();
}

// 0x8005 object attributes: the CCSID lies 140 bytes into the CP 0x000F item.
inline Bytes object_reply(std::optional<std::uint16_t> ccsid, std::uint16_t chain) {
  PacketBuilder reply(kServer, 0x8005);
  reply.u16(20, chain);
  if (ccsid) {
    Bytes attributes(136);
    attributes[134] = static_cast<std::uint8_t>(*ccsid >> 8);
    attributes[135] = static_cast<std::uint8_t>(*ccsid);
    reply.item(0x000F, attributes);
  }
  return reply.build();
}

// 0x8002 open reply at level 16: handle at 22, data CCSID at 34, size at 89.
inline Bytes open_reply(std::uint32_t handle, std::uint64_t size, std::uint16_t ccsid = 0x04B0) {
  return PacketBuilder(kServer, 0x8002).u32(22, handle).u16(34, ccsid).u64(89, size).build();
}

// 0x8003 read reply: chain indicator at 20, the data item's LL at 24.
inline Bytes read_reply(const Bytes& data, std::uint16_t chain) {
  return PacketBuilder(kServer, 0x8003).u16(20, chain).u16(22, 0).item(0x0020, data).build();
}

// 0x800B write reply: return code at 22, unwritten count at 28.
inline Bytes write_reply(std::uint16_t code = 0, std::uint32_t unwritten = 0) {
  return PacketBuilder(kServer, 0x800B).u16(22, code).u32(28, unwritten).build();
}

inline Bytes close_reply(std::uint16_t code = 0) {
  return PacketBuilder(kServer, 0x8004).u16(22, code).build();
}

// Requests the client must send, from their layout at datastream level 16.
inline Bytes list_request(std::u16string_view pattern) {
  return PacketBuilder(kServer, 0x000A)
      .u16(26, 1200)
      .u32(28, 1)
      .u16(34, 0xFFFF)
      .u16(36, 0x0101)
      .u16(38, 0x0001)
      .item(0x0002, utf16(pattern))
      .build();
}

inline Bytes read_request(std::uint32_t handle, std::uint64_t offset, std::uint32_t length) {
  return PacketBuilder(kServer, 0x0003).u32(22, handle).u32(34, length).u64(50, offset).build();
}

inline Bytes write_request(std::uint32_t handle, std::uint64_t offset, const Bytes& data) {
  return PacketBuilder(kServer, 0x0004)
      .u32(22, handle)
      .u16(34, 2)
      .u16(36, 0xFFFF)
      .u64(46, offset)
      .item(0x0020, data)
      .build();
}

inline Bytes open_for_write_request(std::u16string_view name, std::uint16_t option) {
  return PacketBuilder(kServer, 0x0002)
      .u16(22, 1200)
      .u32(24, 1)
      .u16(28, 0xFFFF)
      .u16(30, 2)
      .u16(36, option)
      .u16(46, 1)
      .u64(56, 0)
      .item(0x0002, utf16(name))
      .build();
}

inline Bytes close_request(std::uint32_t handle) {
  return PacketBuilder(kServer, 0x0009)
      .u32(22, handle)
      .u16(26, 2)
      .u16(28, 0xFFFF)
      .u16(30, 100)
      .u8(40, 0)
      .build();
}

inline constexpr std::uint16_t kOpenId = 0x0002;
inline constexpr std::uint16_t kReadId = 0x0003;
inline constexpr std::uint16_t kCloseId = 0x0009;
inline constexpr std::uint16_t kListId = 0x000A;
inline constexpr std::uint16_t kCreateDirectoryId = 0x000D;

}  // namespace morva::ifs::testing
