#pragma once

#include <cstdint>
#include <vector>

namespace morva::command {

// A zero-filled request packet of `total_length` bytes for the remote-command server, its header
// written. `header_id` is the header ID's first byte.
std::vector<std::uint8_t> start_request(std::size_t total_length, std::uint8_t header_id,
                                        std::uint16_t template_length, std::uint16_t request_id);

}  // namespace morva::command
