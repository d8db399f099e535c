#pragma once

#include "morva/error.hpp"
#include "morva/ifs/packet.hpp"

#include <cstdint>
#include <span>
#include <string_view>

namespace morva::ifs {

// Reply IDs the callers look at before they choose a parser.
inline constexpr std::uint16_t kReturnCodeReplyId = 0x8001;

struct OpenReply {
  std::uint32_t file_handle;
  std::uint16_t data_ccsid;
  std::uint64_t size;
};

// The paths serve only the error texts.
Result<OpenReply> parse_open_reply(Packet packet, std::uint16_t datastream_level, std::string_view path);
// The data as a view into the packet.
Result<std::span<const std::uint8_t>> parse_read_reply(Packet packet);
// The byte count written, which is the requested count.
Result<std::uint64_t> parse_write_reply(Packet packet, std::uint64_t requested, std::string_view path);

}  // namespace morva::ifs
