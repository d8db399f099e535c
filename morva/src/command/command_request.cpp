#include "morva/command/command_request.hpp"

#include "command/api_parameters.hpp"
#include "command/request_header.hpp"
#include "morva/command/program_call.hpp"
#include "morva/server/packet_header.hpp"
#include "morva/signon/password_substitute.hpp"

#include <algorithm>

namespace morva::command {

namespace {

constexpr std::uint16_t kExchangeSeedsRequestId = 0x7001;
constexpr std::uint16_t kStartServerRequestId = 0x7002;
constexpr std::uint16_t kExchangeAttributesRequestId = 0x1001;

constexpr std::uint16_t kSubstituteCodePoint = 0x1105;
constexpr std::uint16_t kUserProfileCodePoint = 0x1104;

constexpr std::uint32_t kClientCcsid = 1200;
constexpr std::array<std::uint8_t, 4> kLanguage2924 = {0xF2, 0xF9, 0xF2, 0xF4};  // EBCDIC digits
constexpr std::uint32_t kClientVersion = 1;

// 28 bytes: header (byte 4 = 3), template length 8, then the client seed at 20.
std::vector<std::uint8_t> encode(const ExchangeSeeds& request) {
  auto packet = start_request(28, 3, 8, kExchangeSeedsRequestId);
  server::put_u64(packet, 20, request.client_seed);
  return packet;
}

// N + 44 bytes: header (byte 4 = 2), template length 2; at 20 the substitute kind (1 DES, 3 SHA-1)
// and 1; item 0x1105 with the substitute from 22, item 0x1104 with the user profile after it.
std::vector<std::uint8_t> encode(const StartServer& request) {
  const auto substitute = request.substitute.bytes();
  const std::size_t n = substitute.size();
  auto packet = start_request(n + 44, 2, 2, kStartServerRequestId);
  packet[20] = n == signon::kDesSubstituteLength ? 1 : 3;
  packet[21] = 1;
  server::put_u32(packet, 22, static_cast<std::uint32_t>(n + 6));
  server::put_u16(packet, 26, kSubstituteCodePoint);
  std::ranges::copy(substitute, packet.begin() + 28);
  server::put_u32(packet, 28 + n, 16);
  server::put_u16(packet, 32 + n, kUserProfileCodePoint);
  std::ranges::copy(request.user, packet.begin() + static_cast<std::ptrdiff_t>(34 + n));
  return packet;
}

// 34 bytes: template length 14; client CCSID at 20, language at 24, client version at 28 and
// client datastream level 0 at 32.
std::vector<std::uint8_t> encode(const ExchangeAttributes&) {
  auto packet = start_request(34, 0, 14, kExchangeAttributesRequestId);
  server::put_u32(packet, 20, kClientCcsid);
  std::ranges::copy(kLanguage2924, packet.begin() + 24);
  server::put_u32(packet, 28, kClientVersion);
  return packet;
}

std::vector<std::uint8_t> encode(const RetrieveMemberDescription& request) {
  return encode_program_call("QUSRMBRD",
                             member_description_parameters(request.library, request.file, request.member),
                             request.datastream_level);
}

std::vector<std::uint8_t> encode(const RetrieveFileDescription& request) {
  return encode_program_call("QDBRTVFD", file_description_parameters(request.library, request.file),
                             request.datastream_level);
}

std::vector<std::uint8_t> encode(const RetrieveObjectDescription& request) {
  return encode_program_call(
      "QUSROBJD", object_description_parameters(request.library, request.object, request.object_type),
      request.datastream_level);
}

std::vector<std::uint8_t> encode(const RetrieveSystemStorage& request) {
  return encode_program_call("QWCRSSTS", system_storage_parameters(), request.datastream_level);
}

struct Name {
  std::string_view operator()(const ExchangeSeeds&) const { return "command.exchange-seeds"; }
  std::string_view operator()(const StartServer&) const { return "command.start-server"; }
  std::string_view operator()(const ExchangeAttributes&) const { return "command.exchange-attributes"; }
  std::string_view operator()(const RetrieveMemberDescription&) const {
    return "command.retrieve-member-description";
  }
  std::string_view operator()(const RetrieveFileDescription&) const {
    return "command.retrieve-file-description";
  }
  std::string_view operator()(const RetrieveObjectDescription&) const {
    return "command.retrieve-object-description";
  }
  std::string_view operator()(const RetrieveSystemStorage&) const {
    return "command.retrieve-system-storage";
  }
};

}  // namespace

std::string_view CommandRequest::name() const {
  return std::visit(Name{}, kind_);
}

std::vector<std::uint8_t> CommandRequest::encode() const {
  return std::visit([](const auto& request) { return command::encode(request); }, kind_);
}

}  // namespace morva::command
