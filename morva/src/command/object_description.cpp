#include "command/receiver_text.hpp"
#include "morva/command/program_call.hpp"
#include "morva/command/receivers.hpp"
#include "morva/ifs/reply_fields.hpp"

namespace morva::command {

namespace {

constexpr std::uint32_t kObjd0200Length = 180;
constexpr std::size_t kAspOffset = 48;

}  // namespace

// OBJD0200: bytes returned (u32) at 0; object (10) at 8, library (10) at 18, type (10) at 28, ASP
// (u32) at 48, owner (10) at 52, created (13) at 64, changed (13) at 77, extended attribute (10) at 90,
// text description (50) at 100, source file, library and member (10 each) at 150, 160 and 170.
Result<ObjectDescription> ObjectDescription::parse(std::span<const std::uint8_t> packet,
                                                   std::uint16_t ccsid) {
  const auto receiver = check_program_reply(packet, "retrieve object description");
  if (!receiver) return std::unexpected(receiver.error());
  if (receiver->size() < kObjd0200Length || *ifs::read_u32(*receiver, 0) < kObjd0200Length)
    return fail("retrieve object description did not return OBJD0200");

  ObjectDescription object;
  const auto decoded = decode_text_fields(*receiver, ccsid,
                                          {{&object.object, 8, 10},
                                           {&object.library, 18, 10},
                                           {&object.object_type, 28, 10},
                                           {&object.attribute, 90, 10},
                                           {&object.owner, 52, 10},
                                           {&object.created, 64, 13},
                                           {&object.changed, 77, 13},
                                           {&object.description, 100, 50},
                                           {&object.source_file, 150, 10},
                                           {&object.source_library, 160, 10},
                                           {&object.source_member, 170, 10}});
  if (!decoded) return std::unexpected(decoded.error());
  object.object_type.erase(0, object.object_type.find_first_not_of('*'));
  object.asp = *ifs::read_u32(*receiver, kAspOffset);
  return object;
}

}  // namespace morva::command
