// Builds host-server packets for tests from their wire fields, so expected requests and prepared replies
// are written from the layout and not from the client's encoders.
//
// Layout (big-endian): u32 total length (these 4 bytes included), u8 u8 header ID, u16 server ID,
// 8 bytes not examined in replies, u16 template length, u16 request/reply ID; the template from offset 20;
// then LL/CP items: u32 LL (the 6-byte head included), u16 code point, LL - 6 data bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "fake_ibmi/hex.hpp"

namespace fake_ibmi {

inline constexpr std::size_t kHeaderLength = 20;
inline constexpr std::size_t kItemHeadLength = 6;

// A number as `width` big-endian bytes, for the data of an item.
Bytes big_endian(std::uint64_t value, std::size_t width);

class PacketBuilder {
 public:
  PacketBuilder(std::uint16_t server_id, std::uint16_t request_id);

  PacketBuilder& header_id(std::uint8_t first, std::uint8_t second);

  // Fields at absolute offsets (from the first byte of the length); the packet grows as needed.
  PacketBuilder& u8(std::size_t offset, std::uint8_t value);
  PacketBuilder& u16(std::size_t offset, std::uint16_t value);
  PacketBuilder& u32(std::size_t offset, std::uint32_t value);
  PacketBuilder& u64(std::size_t offset, std::uint64_t value);
  PacketBuilder& bytes(std::size_t offset, std::span<const std::uint8_t> data);

  // Appends an LL/CP item at the current end of the packet.
  PacketBuilder& item(std::uint16_t code_point, std::span<const std::uint8_t> data = {});

  // The template length is the span between the header and the first item (or the end) unless set.
  PacketBuilder& template_length(std::uint16_t length);
  // The total length is the packet's size unless set, for packets whose length field lies.
  PacketBuilder& total_length(std::uint32_t length);

  Bytes build() const;

 private:
  void put(std::size_t offset, std::uint64_t value, std::size_t width);

  Bytes packet_;
  std::optional<std::size_t> first_item_offset_;
  std::optional<std::uint16_t> template_length_;
  std::optional<std::uint32_t> total_length_;
};

}  // namespace fake_ibmi
