#pragma once

#include <cstdint>
#include <vector>

namespace morva::command {

// A zero-filled request packet of `total_length` bytes with its 20-byte header written: total length
// at 0, header ID at 4, the remote-command server ID at 6, template length at 16, request ID at 18.
std::vector<std::uint8_t> start_request(std::size_t total_length, std::uint16_t header_id,
                                        std::uint16_t template_length, std::uint16_t request_id);

}  // namespace morva::command
