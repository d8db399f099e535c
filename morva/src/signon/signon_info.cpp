#include "morva/signon/signon_info.hpp"

#include "morva/ifs/reply_fields.hpp"
#include "morva/server/packet_header.hpp"
#include "morva/signon/password_substitute.hpp"
#include "signon/signon_codes.hpp"

namespace morva::signon {
namespace {

// Request 0x7004 (N = substitute length), after the header:
//   20     u8   substitute kind: 1 DES, 3 SHA-1 (the one template byte)
//   21     u32 LL 10,     25 u16 CP client CCSID,   27 u32 1200
//   31     u32 LL N + 6,  35 u16 CP substitute,     37 N bytes
//   37 + N u32 LL 16,     41 + N u16 CP user,       43 + N 10 bytes EBCDIC
//   53 + N u32 LL 7,      57 + N u16 CP return error messages, 59 + N u8 1   (server level 5 and above)
constexpr std::uint64_t kFixedLength = 53;
constexpr std::uint64_t kErrorMessagesItemLength = 7;
constexpr std::uint16_t kErrorMessagesServerLevel = 5;
constexpr std::uint8_t kDesKind = 1;
constexpr std::uint8_t kSha1Kind = 3;
constexpr std::uint32_t kClientCcsid = 1200;

// Reply 0xF004: u32 return code at 20, then items.
constexpr std::uint64_t kReplyItemsOffset = 24;
constexpr std::uint64_t kReturnCodeOffset = 20;

}  // namespace

Result<SignonInfo> build_signon_info(std::string_view user, const Secret& password,
                                     std::uint8_t password_level, std::uint64_t client_seed,
                                     const Seed& server_seed, std::uint16_t server_level) {
  const auto encoded_user = encode_user_profile(user);
  if (!encoded_user) return std::unexpected(encoded_user.error());
  auto substitute = password_substitute(user, password, password_level, client_seed, server_seed);
  if (!substitute) return std::unexpected(substitute.error());
  return SignonInfo(std::move(*substitute), *encoded_user, server_level);
}

Result<WipedBytes> encode_signon_info(const SignonInfo& info) {
  const std::uint64_t n = info.substitute.size();
  if (n != kDesSubstituteLength && n != kSha1SubstituteLength) {
    return fail("internal error: entered unreachable code: password substitutes are either DES or SHA-1");
  }
  const bool error_messages = info.server_level >= kErrorMessagesServerLevel;
  WipedBytes packet(kFixedLength + n + (error_messages ? kErrorMessagesItemLength : 0));
  server::write_header(
      packet,
      {.server_id = server::kSignonServerId, .template_length = 1, .request_id = kSignonInfoRequestId});
  server::put_u8(packet, 20, n == kDesSubstituteLength ? kDesKind : kSha1Kind);
  server::put_u32(packet, 21, 10);
  server::put_u16(packet, 25, kClientCcsidCodePoint);
  server::put_u32(packet, 27, kClientCcsid);
  server::put_u32(packet, 31, static_cast<std::uint32_t>(n + server::kItemHeadLength));
  server::put_u16(packet, 35, kSubstituteCodePoint);
  std::copy(info.substitute.bytes().begin(), info.substitute.bytes().end(), packet.begin() + 37);
  server::put_u32(packet, 37 + n, 16);
  server::put_u16(packet, 41 + n, kUserProfileCodePoint);
  std::copy(info.user.begin(), info.user.end(), packet.begin() + static_cast<std::ptrdiff_t>(43 + n));
  if (error_messages) {
    server::put_u32(packet, 53 + n, static_cast<std::uint32_t>(kErrorMessagesItemLength));
    server::put_u16(packet, 57 + n, kReturnErrorMessagesCodePoint);
    server::put_u8(packet, 59 + n, 1);
  }
  return packet;
}

Result<std::uint32_t> parse_signon_info_reply(std::span<const std::uint8_t> packet) {
  constexpr SignonReplyKind kind{kSignonInfoReplyId, kReplyItemsOffset,
                                 "sign-on information reply is shorter than 24 bytes",
                                 "not a sign-on information reply"};
  if (auto checked = check_signon_reply(packet, kind); !checked) return std::unexpected(checked.error());
  const std::uint32_t return_code = *ifs::read_u32(packet, kReturnCodeOffset);
  auto walked = ifs::walk_items(packet, kReplyItemsOffset, [](const ifs::Item&) -> Result<ifs::WalkStep> {
    return ifs::WalkStep::next;
  });
  if (!walked) return std::unexpected(walked.error());
  return return_code;
}

}  // namespace morva::signon
