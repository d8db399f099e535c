#include "signon/signon_codes.hpp"

#include <fmt/format.h>

#include "morva/ifs/reply_fields.hpp"
#include "morva/server/packet_header.hpp"

namespace morva::signon {

Result<void> check_signon_reply(std::span<const std::uint8_t> packet, const SignonReplyKind& kind) {
  if (packet.size() < kind.minimum_length) return fail(std::string(kind.too_short));
  // The minimum length covers the header, so these reads succeed.
  const auto declared = *ifs::read_u32(packet, server::kLengthOffset);
  const auto server_id = *ifs::read_u16(packet, server::kServerIdOffset);
  const auto id = *ifs::read_u16(packet, server::kRequestIdOffset);
  if (declared != packet.size()) {
    return fail(
        fmt::format("declared packet length {} does not match {} received bytes", declared, packet.size()));
  }
  if (server_id != server::kSignonServerId || id != kind.reply_id) {
    return fail(fmt::format("{} (server {:04X}, reply {:04X})", kind.name, server_id, id));
  }
  return {};
}

}  // namespace morva::signon
