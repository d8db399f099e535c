#pragma once

#include <fmt/format.h>
#include <asio/awaitable.hpp>
#include <asio/buffer.hpp>
#include <asio/error.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/read.hpp>
#include <asio/use_awaitable.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "morva/error.hpp"
#include "morva/log.hpp"
#include "morva/server/packet_header.hpp"
#include "morva/wipe_on_exit.hpp"

// Whole packets on a host-server stream. Templates over the stream so any Asio byte stream serves.
namespace morva::server {

// How one connection kind names its packets in events and errors.
struct PacketChannel {
  std::string_view target;
  std::string_view sent_event;
  std::string_view received_event;
  std::string_view packet_noun;  // in "invalid {noun} length {L}"
};

inline constexpr PacketChannel kFileServicePackets{
    "morva::ifs", "sending file-service packet", "received file-service packet", "IBM i file-service packet"};
inline constexpr PacketChannel kCommandPackets{"morva::command", "sending command packet",
                                               "received command packet", "IBM i packet"};

// Writes until every byte is out; a write that accepts nothing is the error "write zero".
template <typename Stream>
asio::awaitable<Result<void>> write_all(Stream& stream, std::span<const std::uint8_t> bytes) {
  std::uint64_t written = 0;
  while (written < bytes.size()) {
    auto [error, count] =
        co_await stream.async_write_some(asio::buffer(bytes.data() + written, bytes.size() - written),
                                         asio::experimental::as_tuple(asio::use_awaitable));
    if (error) co_return std::unexpected(Error::system(error));
    if (count == 0) co_return std::unexpected(Error::io(IoErrorKind::write_zero, "write zero"));
    written += count;
  }
  co_return Result<void>{};
}

// Writes one encoded request. `packet` must span the buffer's whole allocation: a sensitive packet is
// zeroed over all of it once the write has ended, successfully or not.
template <typename Stream>
asio::awaitable<Result<void>> write_packet(Stream& stream, const PacketChannel& channel,
                                           std::string_view name, std::span<std::uint8_t> packet,
                                           bool sensitive) {
  // Also when the coroutine is dropped before the write ends.
  const WipeOnExit wipe_after(sensitive ? packet : std::span<std::uint8_t>{});
  log::debug(channel.target, channel.sent_event,
             {{"packet", name}, {"length", packet.size()}, {"sensitive", sensitive}});
  co_return co_await write_all(stream, packet);
}

// Fills `bytes` completely; the stream ending first is the error "early eof".
template <typename Stream>
asio::awaitable<Result<void>> read_exact(Stream& stream, std::span<std::uint8_t> bytes) {
  auto [error, count] = co_await asio::async_read(stream, asio::buffer(bytes.data(), bytes.size()),
                                                  asio::experimental::as_tuple(asio::use_awaitable));
  if (error == asio::error::eof)
    co_return std::unexpected(Error::io(IoErrorKind::unexpected_eof, "early eof"));
  if (error) co_return std::unexpected(Error::system(error));
  co_return Result<void>{};
}

inline constexpr bool valid_packet_length(std::uint64_t length) {
  return length >= kHeaderLength && length <= kMaxPacketLength;
}

// Reads one whole packet, length field included, into a buffer of exactly its announced length.
template <typename Stream>
asio::awaitable<Result<std::vector<std::uint8_t>>> read_packet(Stream& stream, const PacketChannel& channel) {
  std::array<std::uint8_t, 4> length_field{};
  if (auto read = co_await read_exact(stream, length_field); !read) co_return std::unexpected(read.error());
  const std::uint64_t length = std::uint64_t{length_field[0]} << 24 | std::uint64_t{length_field[1]} << 16 |
                               std::uint64_t{length_field[2]} << 8 | std::uint64_t{length_field[3]};
  if (!valid_packet_length(length)) {
    co_return std::unexpected(Error::io(IoErrorKind::invalid_data,
                                        fmt::format("invalid {} length {}", channel.packet_noun, length)));
  }
  std::vector<std::uint8_t> packet(length);
  std::copy(length_field.begin(), length_field.end(), packet.begin());
  if (auto read = co_await read_exact(stream, std::span(packet).subspan(length_field.size())); !read) {
    co_return std::unexpected(read.error());
  }
  log::debug(channel.target, channel.received_event, {{"length", length}});
  co_return packet;
}

}  // namespace morva::server
