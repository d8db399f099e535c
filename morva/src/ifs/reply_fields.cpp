#include "morva/ifs/reply_fields.hpp"

#include <fmt/format.h>

#include "morva/server/packet_header.hpp"

namespace morva::ifs {
namespace {

template <typename T>
Result<T> read_big_endian(std::span<const std::uint8_t> packet, std::uint64_t offset) {
  constexpr std::uint64_t width = sizeof(T);
  if (offset > packet.size() || packet.size() - offset < width) {
    return fail(fmt::format("missing {}-bit value at offset {}", width * 8, offset));
  }
  T value = 0;
  for (std::uint64_t i = 0; i < width; ++i) value = static_cast<T>(value << 8 | packet[offset + i]);
  return value;
}

}  // namespace

Result<std::uint16_t> read_u16(std::span<const std::uint8_t> packet, std::uint64_t offset) {
  return read_big_endian<std::uint16_t>(packet, offset);
}

Result<std::uint32_t> read_u32(std::span<const std::uint8_t> packet, std::uint64_t offset) {
  return read_big_endian<std::uint32_t>(packet, offset);
}

Result<std::uint64_t> read_u64(std::span<const std::uint8_t> packet, std::uint64_t offset) {
  return read_big_endian<std::uint64_t>(packet, offset);
}

Result<void> check_reply(std::span<const std::uint8_t> packet, std::uint16_t expected_id,
                         std::uint64_t minimum_length) {
  if (packet.size() < minimum_length) {
    return fail(fmt::format("reply 0x{:04X} requires at least {} bytes; received {}", expected_id,
                            minimum_length, packet.size()));
  }
  const auto length = read_u32(packet, server::kLengthOffset);
  if (!length) return std::unexpected(length.error());
  const auto server_id = read_u16(packet, server::kServerIdOffset);
  if (!server_id) return std::unexpected(server_id.error());
  const auto reply_id = read_u16(packet, server::kRequestIdOffset);
  if (!reply_id) return std::unexpected(reply_id.error());
  if (*server_id != server::kFileServerId || *length != packet.size() || *reply_id != expected_id) {
    return fail(fmt::format("unexpected file-service reply: length={}, server={:04X}, id={:04X}", *length,
                            *server_id, *reply_id));
  }
  return {};
}

Result<void> walk_items(std::span<const std::uint8_t> packet, std::uint64_t first_offset,
                        const std::function<Result<WalkStep>(const Item&)>& visit) {
  for (std::uint64_t offset = first_offset; offset < packet.size();) {
    const auto length = read_u32(packet, offset);
    if (!length) return std::unexpected(length.error());
    if (*length < server::kItemHeadLength || *length > packet.size() - offset) {
      return fail(fmt::format("invalid field length {} at offset {}", *length, offset));
    }
    const auto code_point = read_u16(packet, offset + 4);
    if (!code_point) return std::unexpected(code_point.error());
    const Item item{offset, *length, *code_point,
                    packet.subspan(offset + server::kItemHeadLength, *length - server::kItemHeadLength)};
    const auto step = visit(item);
    if (!step) return std::unexpected(step.error());
    if (*step == WalkStep::stop) break;
    offset += *length;
  }
  return {};
}

}  // namespace morva::ifs
