#pragma once

#include "morva/error.hpp"

#include <cstdint>
#include <span>

// Big-endian fields of remote-command packets. Readers check that the whole field lies inside the
// packet; writers are used on buffers sized by their encoder.
namespace morva::command::wire {

Result<std::uint16_t> read_u16(std::span<const std::uint8_t> packet, std::uint64_t offset);
Result<std::uint32_t> read_u32(std::span<const std::uint8_t> packet, std::uint64_t offset);

void put_u16(std::span<std::uint8_t> packet, std::size_t offset, std::uint16_t value);
void put_u32(std::span<std::uint8_t> packet, std::size_t offset, std::uint32_t value);
void put_u64(std::span<std::uint8_t> packet, std::size_t offset, std::uint64_t value);

}  // namespace morva::command::wire
