#include "command/receiver_text.hpp"
#include "morva/command/program_call.hpp"
#include "morva/command/receivers.hpp"
#include "morva/ifs/reply_fields.hpp"

namespace morva::command {

namespace {

constexpr std::uint32_t kDescriptionEnd = 134;  // the text description ends the fields we read

}  // namespace

// MBRD0100: bytes returned (u32) at 0, member name (10) at 28, source type (10) at 48, text
// description (50) at 84.
Result<MemberDescription> MemberDescription::parse(std::span<const std::uint8_t> packet,
                                                   std::uint16_t ccsid) {
  const auto receiver = check_program_reply(packet, "retrieve member description");
  if (!receiver) return std::unexpected(receiver.error());
  if (receiver->size() < kDescriptionEnd)
    return fail("member-description receiver does not contain member text");
  if (*ifs::read_u32(*receiver, 0) < kDescriptionEnd)
    return fail("retrieve member description did not return a complete description");

  MemberDescription member;
  const auto decoded = decode_text_fields(
      *receiver, ccsid,
      {{&member.member, 28, 10}, {&member.source_type, 48, 10}, {&member.description, 84, 50}});
  if (!decoded) return std::unexpected(decoded.error());
  return member;
}

}  // namespace morva::command
