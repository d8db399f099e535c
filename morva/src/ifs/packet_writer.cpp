#include "ifs/packet_writer.hpp"

#include "morva/server/packet_header.hpp"

#include <algorithm>

namespace morva::ifs {

namespace {
constexpr std::size_t kHeaderLength = 20;
constexpr std::size_t kItemHeadLength = 6;
}  // namespace

PacketWriter::PacketWriter(std::uint16_t request_id, std::uint16_t template_length,
                           std::initializer_list<std::size_t> item_data_lengths, std::uint8_t header_id)
    : next_item_(kHeaderLength + template_length) {
  std::size_t length = next_item_;
  for (const std::size_t data_length : item_data_lengths) length += kItemHeadLength + data_length;
  bytes_.assign(length, 0);
  u32(0, static_cast<std::uint32_t>(length));
  u8(4, header_id);
  u16(6, server::kFileServerId);
  u16(16, template_length);
  u16(18, request_id);
}

PacketWriter& PacketWriter::u8(std::size_t offset, std::uint8_t value) {
  put(offset, value, 1);
  return *this;
}
PacketWriter& PacketWriter::u16(std::size_t offset, std::uint16_t value) {
  put(offset, value, 2);
  return *this;
}
PacketWriter& PacketWriter::u32(std::size_t offset, std::uint32_t value) {
  put(offset, value, 4);
  return *this;
}
PacketWriter& PacketWriter::u64(std::size_t offset, std::uint64_t value) {
  put(offset, value, 8);
  return *this;
}

PacketWriter& PacketWriter::item(std::uint16_t code_point, std::span<const std::uint8_t> data) {
  u32(next_item_, static_cast<std::uint32_t>(kItemHeadLength + data.size()));
  u16(next_item_ + 4, code_point);
  std::ranges::copy(data, bytes_.begin() + static_cast<std::ptrdiff_t>(next_item_ + kItemHeadLength));
  next_item_ += kItemHeadLength + data.size();
  return *this;
}

void PacketWriter::put(std::size_t offset, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i)
    bytes_[offset + width - 1 - i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace morva::ifs
