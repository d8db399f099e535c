#pragma once

#include <cstdint>
#include <span>

namespace morva::ifs {

// A whole reply packet, length field included.
using Packet = std::span<const std::uint8_t>;

}  // namespace morva::ifs
