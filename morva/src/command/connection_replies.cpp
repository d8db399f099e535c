#include "morva/command/connection_replies.hpp"

#include "morva/ccsid/server_job_name.hpp"
#include "morva/command/program_call.hpp"
#include "morva/ifs/reply_fields.hpp"
#include "morva/server/packet_header.hpp"

#include <fmt/format.h>
#include <algorithm>
#include <optional>

namespace morva::command {

namespace {

constexpr std::uint16_t kSeedReplyId = 0xF001;
constexpr std::uint16_t kStartServerReplyId = 0xF002;
constexpr std::uint16_t kAttributeReplyId = 0x8001;
constexpr std::uint16_t kJobNameCodePoint = 0x111F;

// The checks every connection reply passes first: its minimum length, then reply ID, server ID and
// declared length together.
Result<void> check_reply(std::span<const std::uint8_t> packet, std::uint16_t reply_id, std::size_t minimum) {
  if (packet.size() < minimum)
    return fail(fmt::format("reply 0x{:04X} requires at least {} bytes; received {}", reply_id, minimum,
                            packet.size()));
  const std::uint32_t length = *ifs::read_u32(packet, 0);
  const std::uint16_t server_id = *ifs::read_u16(packet, 6);
  const std::uint16_t id = *ifs::read_u16(packet, 18);
  if (id != reply_id || server_id != server::kCommandServerId || length != packet.size())
    return fail(
        fmt::format("unexpected command reply: length={}, server={:04X}, id={:04X}", length, server_id, id));
  return {};
}

bool is_accepted_attribute_code(std::uint16_t code) {
  return code == 0x0000 || code == 0x0100 || (code >= 0x0104 && code <= 0x0108);
}

}  // namespace

// 0xF001: return code (u32) at 20, server seed at 24..31; byte 5 of the header carries the server's
// password level.
Result<SeedReply> parse_seed_reply(std::span<const std::uint8_t> packet) {
  if (auto checked = check_reply(packet, kSeedReplyId, 32); !checked) return std::unexpected(checked.error());
  const std::uint32_t return_code = *ifs::read_u32(packet, 20);
  if (return_code != 0) return fail(fmt::format("seed exchange failed with 0x{:08X}", return_code));
  SeedReply reply;
  std::copy_n(packet.begin() + 24, reply.server_seed.size(), reply.server_seed.begin());
  reply.password_level = packet[5];
  return reply;
}

// 0xF002: return code (u32) at 20, then items from 24. The job-name item 0x111F holds 4 bytes we skip
// and then the name in EBCDIC.
Result<std::string> parse_start_server_reply(std::span<const std::uint8_t> packet) {
  if (auto checked = check_reply(packet, kStartServerReplyId, 24); !checked)
    return std::unexpected(checked.error());
  const std::uint32_t return_code = *ifs::read_u32(packet, 20);
  if (return_code != 0)
    return fail(fmt::format("remote-command authentication failed with 0x{:08X}", return_code));

  std::optional<std::string> job_name;
  const auto walked =
      ifs::walk_items(packet, 24, [&job_name](const ifs::Item& item) -> Result<ifs::WalkStep> {
        if (!job_name && item.code_point == kJobNameCodePoint && item.length > 9) {
          job_name = ccsid::decode_server_job_name(item.data.subspan(4));
          job_name->erase(job_name->find_last_not_of(' ') + 1);  // npos + 1 clears an all-blank name
        }
        return ifs::WalkStep::next;
      });
  if (!walked) return std::unexpected(walked.error());
  if (job_name) return std::move(*job_name);
  return fail("start-server reply did not include a job name");
}

// 0x8001: return code (u16) at 20, server CCSID (u32) at 22, datastream level (u16) at 34.
Result<ServerAttributes> parse_attribute_reply(std::span<const std::uint8_t> packet) {
  if (auto checked = check_reply(packet, kAttributeReplyId, 36); !checked)
    return std::unexpected(checked.error());
  const std::uint16_t return_code = *ifs::read_u16(packet, 20);
  if (!is_accepted_attribute_code(return_code))
    return fail(fmt::format("command attribute exchange failed with 0x{:04X}", return_code));
  return ServerAttributes{.ccsid = *ifs::read_u32(packet, 22),
                          .datastream_level = *ifs::read_u16(packet, 34)};
}

}  // namespace morva::command
