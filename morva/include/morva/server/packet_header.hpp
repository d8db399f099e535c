#pragma once

#include <cstdint>
#include <span>

// The 20-byte header shared by every host-server packet, big-endian:
//   0  u32  total length, these 4 bytes included
//   4  u8   header ID, first byte
//   5  u8   header ID, second byte
//   6  u16  server ID
//   8  u32  0 (not examined in replies)
//   12 u32  0 (not examined in replies)
//   16 u16  template length (template bytes after the header)
//   18 u16  request or reply ID
// Then the template, then LL/CP items: u32 LL (its 6-byte head included), u16 CP, LL - 6 data bytes.
namespace morva::server {

inline constexpr std::uint16_t kSignonServerId = 0xE009;
inline constexpr std::uint16_t kFileServerId = 0xE002;
inline constexpr std::uint16_t kCommandServerId = 0xE008;

inline constexpr std::uint64_t kHeaderLength = 20;
inline constexpr std::uint64_t kItemHeadLength = 6;
inline constexpr std::uint64_t kMaxPacketLength = 16 * 1024 * 1024;

inline constexpr std::uint64_t kLengthOffset = 0;
inline constexpr std::uint64_t kServerIdOffset = 6;
inline constexpr std::uint64_t kTemplateLengthOffset = 16;
inline constexpr std::uint64_t kRequestIdOffset = 18;

// Big-endian stores into a request buffer; the caller sized the buffer to hold them.
void put_u8(std::span<std::uint8_t> packet, std::uint64_t offset, std::uint8_t value);
void put_u16(std::span<std::uint8_t> packet, std::uint64_t offset, std::uint16_t value);
void put_u32(std::span<std::uint8_t> packet, std::uint64_t offset, std::uint32_t value);
void put_u64(std::span<std::uint8_t> packet, std::uint64_t offset, std::uint64_t value);

struct RequestHeader {
  std::uint8_t header_id = 0;
  std::uint16_t server_id = 0;
  std::uint16_t template_length = 0;
  std::uint16_t request_id = 0;
};

// Writes the header into a zero-filled buffer of exactly the packet's length; the total length is
// the buffer's size.
void write_header(std::span<std::uint8_t> packet, const RequestHeader& header);

}  // namespace morva::server
