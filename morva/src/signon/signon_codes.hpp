#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "morva/error.hpp"

// Request and reply IDs and code points of the sign-on server.
namespace morva::signon {

inline constexpr std::uint16_t kExchangeAttributesRequestId = 0x7003;
inline constexpr std::uint16_t kExchangeAttributesReplyId = 0xF003;
inline constexpr std::uint16_t kSignonInfoRequestId = 0x7004;
inline constexpr std::uint16_t kSignonInfoReplyId = 0xF004;

inline constexpr std::uint16_t kClientVersionCodePoint = 0x1101;
inline constexpr std::uint16_t kClientDatastreamLevelCodePoint = 0x1102;
inline constexpr std::uint16_t kSeedCodePoint = 0x1103;
inline constexpr std::uint16_t kUserProfileCodePoint = 0x1104;
inline constexpr std::uint16_t kSubstituteCodePoint = 0x1105;
inline constexpr std::uint16_t kClientCcsidCodePoint = 0x1113;
inline constexpr std::uint16_t kPasswordLevelCodePoint = 0x1119;
inline constexpr std::uint16_t kReturnErrorMessagesCodePoint = 0x1128;

struct SignonReplyKind {
  std::uint16_t reply_id;
  std::uint64_t minimum_length;  // at least the header
  std::string_view too_short;    // the error when the packet is shorter
  std::string_view name;         // in "{name} (server {:04X}, reply {:04X})"
};

// Checks, in order: the minimum length, the declared length against the bytes received, the server
// and reply IDs.
Result<void> check_signon_reply(std::span<const std::uint8_t> packet, const SignonReplyKind& kind);

}  // namespace morva::signon
