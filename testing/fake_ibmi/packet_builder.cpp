#include "fake_ibmi/packet_builder.hpp"

#include <algorithm>

namespace fake_ibmi {
namespace {

constexpr std::size_t kHeaderIdOffset = 4;
constexpr std::size_t kServerIdOffset = 6;
constexpr std::size_t kTemplateLengthOffset = 16;
constexpr std::size_t kRequestIdOffset = 18;

void write_big_endian(Bytes& packet, std::size_t offset, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    packet[offset + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
  }
}

}  // namespace

Bytes big_endian(std::uint64_t value, std::size_t width) {
  Bytes bytes(width);
  write_big_endian(bytes, 0, value, width);
  return bytes;
}

PacketBuilder::PacketBuilder(std::uint16_t server_id, std::uint16_t request_id) : packet_(kHeaderLength) {
  u16(kServerIdOffset, server_id);
  u16(kRequestIdOffset, request_id);
}

PacketBuilder& PacketBuilder::header_id(std::uint8_t first, std::uint8_t second) {
  u8(kHeaderIdOffset, first);
  return u8(kHeaderIdOffset + 1, second);
}

PacketBuilder& PacketBuilder::u8(std::size_t offset, std::uint8_t value) {
  put(offset, value, 1);
  return *this;
}

PacketBuilder& PacketBuilder::u16(std::size_t offset, std::uint16_t value) {
  put(offset, value, 2);
  return *this;
}

PacketBuilder& PacketBuilder::u32(std::size_t offset, std::uint32_t value) {
  put(offset, value, 4);
  return *this;
}

PacketBuilder& PacketBuilder::u64(std::size_t offset, std::uint64_t value) {
  put(offset, value, 8);
  return *this;
}

PacketBuilder& PacketBuilder::bytes(std::size_t offset, std::span<const std::uint8_t> data) {
  if (packet_.size() < offset + data.size()) packet_.resize(offset + data.size());
  std::ranges::copy(data, packet_.begin() + static_cast<std::ptrdiff_t>(offset));
  return *this;
}

PacketBuilder& PacketBuilder::item(std::uint16_t code_point, std::span<const std::uint8_t> data) {
  const std::size_t offset = packet_.size();
  if (!first_item_offset_) first_item_offset_ = offset;
  put(offset, kItemHeadLength + data.size(), 4);
  put(offset + 4, code_point, 2);
  return bytes(offset + kItemHeadLength, data);
}

PacketBuilder& PacketBuilder::template_length(std::uint16_t length) {
  template_length_ = length;
  return *this;
}

PacketBuilder& PacketBuilder::total_length(std::uint32_t length) {
  total_length_ = length;
  return *this;
}

Bytes PacketBuilder::build() const {
  Bytes packet = packet_;
  const std::size_t template_end = first_item_offset_.value_or(packet.size());
  write_big_endian(packet, kTemplateLengthOffset, template_length_.value_or(template_end - kHeaderLength), 2);
  write_big_endian(packet, 0, total_length_.value_or(static_cast<std::uint32_t>(packet.size())), 4);
  return packet;
}

void PacketBuilder::put(std::size_t offset, std::uint64_t value, std::size_t width) {
  if (packet_.size() < offset + width) packet_.resize(offset + width);
  write_big_endian(packet_, offset, value, width);
}

}  // namespace fake_ibmi
