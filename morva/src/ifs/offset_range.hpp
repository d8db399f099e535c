#pragma once

#include "morva/error.hpp"

#include <cstdint>
#include <string>

namespace morva::ifs {

// Checks the first and the last byte of a range against the datastream level; a range whose last
// byte lies beyond 64 bits fails with `overflow_message`.
Result<void> check_offset_range(std::uint64_t start, std::uint64_t length, std::uint16_t datastream_level,
                                std::string overflow_message);

}  // namespace morva::ifs
