#include "command/wire_fields.hpp"

#include <fmt/format.h>

namespace morva::command::wire {

namespace {

template <typename T>
Result<T> read_big_endian(std::span<const std::uint8_t> packet, std::uint64_t offset) {
  if (offset > packet.size() || packet.size() - offset < sizeof(T))
    return fail(fmt::format("missing {}-bit value at offset {}", sizeof(T) * 8, offset));
  T value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) value = static_cast<T>(value << 8 | packet[offset + i]);
  return value;
}

template <typename T>
void put_big_endian(std::span<std::uint8_t> packet, std::size_t offset, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i)
    packet[offset + i] = static_cast<std::uint8_t>(value >> (8 * (sizeof(T) - 1 - i)));
}

}  // namespace

Result<std::uint16_t> read_u16(std::span<const std::uint8_t> packet, std::uint64_t offset) {
  return read_big_endian<std::uint16_t>(packet, offset);
}
Result<std::uint32_t> read_u32(std::span<const std::uint8_t> packet, std::uint64_t offset) {
  return read_big_endian<std::uint32_t>(packet, offset);
}

void put_u16(std::span<std::uint8_t> packet, std::size_t offset, std::uint16_t value) {
  put_big_endian(packet, offset, value);
}
void put_u32(std::span<std::uint8_t> packet, std::size_t offset, std::uint32_t value) {
  put_big_endian(packet, offset, value);
}
void put_u64(std::span<std::uint8_t> packet, std::size_t offset, std::uint64_t value) {
  put_big_endian(packet, offset, value);
}

}  // namespace morva::command::wire
