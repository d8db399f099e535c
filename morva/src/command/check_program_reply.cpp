#include "morva/command/program_call.hpp"
#include "morva/ifs/reply_fields.hpp"

#include <fmt/format.h>

namespace morva::command {

namespace {

constexpr std::uint16_t kCallProgramReplyId = 0x8003;
constexpr std::uint16_t kCallProgramReplyAlternateId = 0x9003;

}  // namespace

// Reply layout: reply ID at 18, return code (u16) at 20, then parameter items from 24: LL (4), CP (2),
// maximum length (4) at 30, usage (2), data from 36. Only the first item, the receiver, is read.
Result<std::span<const std::uint8_t>> check_program_reply(std::span<const std::uint8_t> packet,
                                                          std::string_view operation) {
  const auto reply_id = ifs::read_u16(packet, 18);
  if (!reply_id) return std::unexpected(reply_id.error());
  if (*reply_id != kCallProgramReplyId && *reply_id != kCallProgramReplyAlternateId)
    return fail(fmt::format("unexpected {} reply 0x{:04X}", operation, *reply_id));

  const auto return_code = ifs::read_u16(packet, 20);
  if (!return_code) return std::unexpected(return_code.error());
  if (*return_code != 0)
    return std::unexpected(Error::program_refused(
        *return_code, fmt::format("{} failed with 0x{:04X}", operation, *return_code)));

  const auto item_length = ifs::read_u32(packet, 24);
  if (!item_length) return std::unexpected(item_length.error());
  const std::uint64_t ll = *item_length;
  if (ll <= 11) return fail(fmt::format("{} receiver parameter is too short", operation));

  const auto max_length = ifs::read_u32(packet, 30);
  if (!max_length) return std::unexpected(max_length.error());
  if (*max_length < ll - 12 || packet.size() < ll + 24)
    return fail(fmt::format("{} receiver parameter is malformed", operation));

  return packet.subspan(36, static_cast<std::size_t>(ll - 12));
}

}  // namespace morva::command
