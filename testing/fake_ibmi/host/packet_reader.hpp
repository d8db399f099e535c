// Reads the fields of a request packet with bounds checks. A field that lies outside the packet reads
// as 0 and marks the packet malformed, so a handler reads what it needs and then asks once whether the
// packet held it all.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace fake_ibmi {

// One LL/CP item: a u32 length (its 6-byte head included), a u16 code point, the data.
struct PacketItem {
  std::uint16_t code_point;
  std::span<const std::uint8_t> data;
};

class PacketReader {
 public:
  explicit PacketReader(std::span<const std::uint8_t> packet) : packet_(packet) {}

  std::uint8_t u8(std::size_t offset);
  std::uint16_t u16(std::size_t offset);
  std::uint32_t u32(std::size_t offset);
  std::uint64_t u64(std::size_t offset);
  std::span<const std::uint8_t> bytes(std::size_t offset, std::size_t length);

  std::uint16_t server_id() { return u16(6); }
  std::uint16_t template_length() { return u16(16); }
  std::uint16_t request_id() { return u16(18); }

  // The items that follow the template, in order.
  std::vector<PacketItem> items();
  // The data of the first item with this code point.
  std::optional<std::span<const std::uint8_t>> item(std::uint16_t code_point);

  bool malformed() const { return malformed_; }

 private:
  std::uint64_t read_big_endian(std::size_t offset, std::size_t width);

  std::span<const std::uint8_t> packet_;
  bool malformed_ = false;
};

}  // namespace fake_ibmi
