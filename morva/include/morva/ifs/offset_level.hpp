#pragma once

#include "morva/error.hpp"

#include <cstdint>

namespace morva::ifs {

// Refuses an offset beyond 32 bits when the server's datastream level has no 64-bit offset fields.
Result<void> check_offset_level(std::uint64_t offset, std::uint16_t datastream_level);

}  // namespace morva::ifs
