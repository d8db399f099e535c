#include "command/request_header.hpp"

#include "morva/server/packet_header.hpp"

namespace morva::command {

std::vector<std::uint8_t> start_request(std::size_t total_length, std::uint8_t header_id,
                                        std::uint16_t template_length, std::uint16_t request_id) {
  std::vector<std::uint8_t> packet(total_length, 0);
  server::write_header(packet, {.header_id = header_id,
                                .server_id = server::kCommandServerId,
                                .template_length = template_length,
                                .request_id = request_id});
  return packet;
}

}  // namespace morva::command
