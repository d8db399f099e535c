#pragma once

#include "fake_ibmi/packet_builder.hpp"

#include <cstdint>

namespace morva::ifs::testing {

// A file-server reply of at least `length` zero bytes; fields and items are put on it by the test.
inline fake_ibmi::PacketBuilder reply(std::uint16_t reply_id, std::size_t length) {
  fake_ibmi::PacketBuilder builder(0xE002, reply_id);
  if (length > fake_ibmi::kHeaderLength) builder.u8(length - 1, 0);
  return builder;
}

}  // namespace morva::ifs::testing
