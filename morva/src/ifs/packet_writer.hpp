#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace morva::ifs {

// Builds one request packet in a zero-filled buffer of its exact length: the 20-byte header, a
// template of fixed-offset fields, then LL/CP items placed one after another behind the template.
class PacketWriter {
 public:
  PacketWriter(std::uint16_t request_id, std::uint16_t template_length,
               std::initializer_list<std::size_t> item_data_lengths, std::uint8_t header_id = 0);

  PacketWriter& u8(std::size_t offset, std::uint8_t value);
  PacketWriter& u16(std::size_t offset, std::uint16_t value);
  PacketWriter& u32(std::size_t offset, std::uint32_t value);
  PacketWriter& u64(std::size_t offset, std::uint64_t value);
  PacketWriter& item(std::uint16_t code_point, std::span<const std::uint8_t> data);

  // Hands the packet over; the writer is spent.
  std::vector<std::uint8_t> finish() { return std::move(bytes_); }

 private:
  void put(std::size_t offset, std::uint64_t value, std::size_t width);

  std::vector<std::uint8_t> bytes_;
  std::size_t next_item_;
};

}  // namespace morva::ifs
