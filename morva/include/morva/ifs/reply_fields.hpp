#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "morva/error.hpp"

// Bounds-checked readers of reply packets. Offsets count from the packet's first byte; all
// arithmetic is in 64 bits, so no offset or length from the wire can wrap.
namespace morva::ifs {

Result<std::uint16_t> read_u16(std::span<const std::uint8_t> packet, std::uint64_t offset);
Result<std::uint32_t> read_u32(std::span<const std::uint8_t> packet, std::uint64_t offset);
Result<std::uint64_t> read_u64(std::span<const std::uint8_t> packet, std::uint64_t offset);

// A file-service reply of the expected ID, at least `minimum_length` long, whose length field matches
// the bytes received and whose server is the file server.
Result<void> check_reply(std::span<const std::uint8_t> packet, std::uint16_t expected_id,
                         std::uint64_t minimum_length);

// One LL/CP item; `data` is the LL - 6 bytes after its head.
struct Item {
  std::uint64_t offset;
  std::uint32_t length;
  std::uint16_t code_point;
  std::span<const std::uint8_t> data;
};

// What a visitor tells the walk: go on with the next item, or stop after this one.
enum class WalkStep { next, stop };

// Visits the items from `first_offset` to the end of the packet, in order; stops where `visit` says so
// (the items behind are not examined), at the first invalid item or at the first error of `visit`.
Result<void> walk_items(std::span<const std::uint8_t> packet, std::uint64_t first_offset,
                        const std::function<Result<WalkStep>(const Item&)>& visit);

}  // namespace morva::ifs
