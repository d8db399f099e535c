#include "command/request_header.hpp"

#include "command/wire_fields.hpp"
#include "morva/command/program_call.hpp"

namespace morva::command {

std::vector<std::uint8_t> start_request(std::size_t total_length, std::uint16_t header_id,
                                        std::uint16_t template_length, std::uint16_t request_id) {
  std::vector<std::uint8_t> packet(total_length, 0);
  wire::put_u32(packet, 0, static_cast<std::uint32_t>(total_length));
  wire::put_u16(packet, 4, header_id);
  wire::put_u16(packet, 6, kCommandServerId);
  wire::put_u16(packet, 16, template_length);
  wire::put_u16(packet, 18, request_id);
  return packet;
}

}  // namespace morva::command
