#include "fake_ibmi/host/packet_reader.hpp"

#include <algorithm>

namespace fake_ibmi {
namespace {

constexpr std::size_t kHeaderLength = 20;
constexpr std::size_t kItemHeadLength = 6;

}  // namespace

std::uint8_t PacketReader::u8(std::size_t offset) {
  return static_cast<std::uint8_t>(read_big_endian(offset, 1));
}

std::uint16_t PacketReader::u16(std::size_t offset) {
  return static_cast<std::uint16_t>(read_big_endian(offset, 2));
}

std::uint32_t PacketReader::u32(std::size_t offset) {
  return static_cast<std::uint32_t>(read_big_endian(offset, 4));
}

std::uint64_t PacketReader::u64(std::size_t offset) {
  return read_big_endian(offset, 8);
}

std::span<const std::uint8_t> PacketReader::bytes(std::size_t offset, std::size_t length) {
  if (offset > packet_.size() || length > packet_.size() - offset) {
    malformed_ = true;
    return {};
  }
  return packet_.subspan(offset, length);
}

std::vector<PacketItem> PacketReader::items() {
  std::vector<PacketItem> found;
  std::size_t offset = kHeaderLength + template_length();
  while (!malformed_ && offset < packet_.size()) {
    const std::uint32_t length = u32(offset);
    const std::uint16_t code_point = u16(offset + 4);
    if (length < kItemHeadLength) {
      malformed_ = true;
      break;
    }
    const auto data = bytes(offset + kItemHeadLength, length - kItemHeadLength);
    if (!malformed_) found.push_back({code_point, data});
    offset += length;
  }
  return found;
}

std::optional<std::span<const std::uint8_t>> PacketReader::item(std::uint16_t code_point) {
  const auto all = items();
  const auto found = std::ranges::find(all, code_point, &PacketItem::code_point);
  if (found == all.end()) return std::nullopt;
  return found->data;
}

std::uint64_t PacketReader::read_big_endian(std::size_t offset, std::size_t width) {
  const auto field = bytes(offset, width);
  std::uint64_t value = 0;
  for (const std::uint8_t byte : field) value = value << 8 | byte;
  return value;
}

}  // namespace fake_ibmi
