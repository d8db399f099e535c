#include "morva/server/packet_header.hpp"

namespace morva::server {

void put_u8(std::span<std::uint8_t> packet, std::uint64_t offset, std::uint8_t value) {
  packet[offset] = value;
}

void put_u16(std::span<std::uint8_t> packet, std::uint64_t offset, std::uint16_t value) {
  packet[offset] = static_cast<std::uint8_t>(value >> 8);
  packet[offset + 1] = static_cast<std::uint8_t>(value);
}

void put_u32(std::span<std::uint8_t> packet, std::uint64_t offset, std::uint32_t value) {
  put_u16(packet, offset, static_cast<std::uint16_t>(value >> 16));
  put_u16(packet, offset + 2, static_cast<std::uint16_t>(value));
}

void put_u64(std::span<std::uint8_t> packet, std::uint64_t offset, std::uint64_t value) {
  put_u32(packet, offset, static_cast<std::uint32_t>(value >> 32));
  put_u32(packet, offset + 4, static_cast<std::uint32_t>(value));
}

void write_header(std::span<std::uint8_t> packet, const RequestHeader& header) {
  put_u32(packet, kLengthOffset, static_cast<std::uint32_t>(packet.size()));
  put_u8(packet, 4, header.header_id);
  put_u16(packet, kServerIdOffset, header.server_id);
  put_u16(packet, kTemplateLengthOffset, header.template_length);
  put_u16(packet, kRequestIdOffset, header.request_id);
}

}  // namespace morva::server
