#pragma once

#include <fmt/format.h>
#include <asio/awaitable.hpp>
#include <asio/buffer.hpp>
#include <asio/error.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "morva/error.hpp"
#include "morva/log.hpp"
#include "morva/server/packet_header.hpp"
#include "morva/server/time_limit.hpp"
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

// Writes until every byte is out; a write that accepts nothing is the error "write zero". Each write
// has the time limit to take some bytes.
template <typename Stream>
asio::awaitable<Result<void>> write_all(Stream& stream, std::span<const std::uint8_t> bytes,
                                        const TimeLimit& limit) {
  std::uint64_t written = 0;
  while (written < bytes.size()) {
    const auto wrote = co_await within<std::size_t>(limit.duration, [&](auto token) {
      return stream.async_write_some(asio::buffer(bytes.data() + written, bytes.size() - written),
                                     std::move(token));
    });
    if (!wrote) co_return std::unexpected(timed_out("writing to", limit));
    const auto [error, count] = *wrote;
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
                                           bool sensitive, const TimeLimit& limit) {
  // Also when the coroutine is dropped before the write ends.
  const WipeOnExit wipe_after(sensitive ? packet : std::span<std::uint8_t>{});
  log::debug(channel.target, channel.sent_event,
             {{"packet", name}, {"length", packet.size()}, {"sensitive", sensitive}});
  co_return co_await write_all(stream, packet, limit);
}

// Fills `bytes` completely; the stream ending first is the error "early eof". Bytes already received
// are taken at once. A wait for more has the time limit, which runs anew whenever bytes arrive, so a
// slow reply that keeps coming is not cut.
template <typename Stream>
asio::awaitable<Result<void>> read_exact(Stream& stream, std::span<std::uint8_t> bytes,
                                         const TimeLimit& limit) {
  std::uint64_t filled = 0;
  while (filled < bytes.size()) {
    const auto rest = asio::buffer(bytes.data() + filled, bytes.size() - filled);
    std::error_code error;
    std::size_t count = 0;
    if (stream.available(error) > 0) {
      count = stream.read_some(rest, error);
    } else if (!error) {
      const auto read = co_await within<std::size_t>(
          limit.duration, [&](auto token) { return stream.async_read_some(rest, std::move(token)); });
      if (!read) co_return std::unexpected(timed_out("waiting for", limit));
      std::tie(error, count) = *read;
    }
    if (error == asio::error::eof)
      co_return std::unexpected(Error::io(IoErrorKind::unexpected_eof, "early eof"));
    if (error) co_return std::unexpected(Error::system(error));
    filled += count;
  }
  co_return Result<void>{};
}

inline constexpr bool valid_packet_length(std::uint64_t length) {
  return length >= kHeaderLength && length <= kMaxPacketLength;
}

// Reads one whole packet, length field included, into a buffer of exactly its announced length.
template <typename Stream>
asio::awaitable<Result<std::vector<std::uint8_t>>> read_packet(Stream& stream, const PacketChannel& channel,
                                                               const TimeLimit& limit) {
  std::array<std::uint8_t, 4> length_field{};
  if (auto read = co_await read_exact(stream, length_field, limit); !read)
    co_return std::unexpected(read.error());
  const std::uint64_t length = std::uint64_t{length_field[0]} << 24 | std::uint64_t{length_field[1]} << 16 |
                               std::uint64_t{length_field[2]} << 8 | std::uint64_t{length_field[3]};
  if (!valid_packet_length(length)) {
    co_return std::unexpected(Error::io(IoErrorKind::invalid_data,
                                        fmt::format("invalid {} length {}", channel.packet_noun, length)));
  }
  std::vector<std::uint8_t> packet(length);
  std::copy(length_field.begin(), length_field.end(), packet.begin());
  if (auto read = co_await read_exact(stream, std::span(packet).subspan(length_field.size()), limit); !read) {
    co_return std::unexpected(read.error());
  }
  log::debug(channel.target, channel.received_event, {{"length", length}});
  co_return packet;
}

}  // namespace morva::server
