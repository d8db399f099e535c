#include "morva/command/program_call.hpp"

#include "command/request_header.hpp"
#include "morva/server/packet_header.hpp"

#include <algorithm>

namespace morva::command {

namespace {

constexpr std::uint16_t kCallProgramTemplateLength = 23;
constexpr std::uint16_t kParameterCodePoint = 0x1103;
constexpr std::size_t kParameterHeadLength = 12;  // LL, CP, maximum length, usage
constexpr std::size_t kFirstParameterOffset = 43;
constexpr std::uint16_t kFirstLevelWithNewMessageOption = 11;

std::span<const std::uint8_t> sent_bytes(const ProgramParameter& parameter) {
  const auto last =
      std::find_if(parameter.data.rbegin(), parameter.data.rend(), [](std::uint8_t b) { return b != 0; });
  return {parameter.data.data(), static_cast<std::size_t>(parameter.data.rend() - last)};
}

}  // namespace

// Template after the header: program name (10) at 20, library (10) at 30, message option (1) at 40,
// parameter count (2) at 41. Each parameter from 43: LL (4), CP 0x1103 (2), maximum length (4),
// usage (2), then the data without its trailing zeros.
std::vector<std::uint8_t> encode_program_call(std::string_view program,
                                              std::span<const ProgramParameter> parameters,
                                              std::uint16_t datastream_level) {
  std::size_t total = kFirstParameterOffset;
  for (const ProgramParameter& parameter : parameters)
    total += kParameterHeadLength + sent_bytes(parameter).size();

  std::vector<std::uint8_t> packet =
      start_request(total, 0, kCallProgramTemplateLength, kCallProgramRequestId);
  const auto program_name = encode_name(program, 10);
  const auto library_name = encode_name("QSYS", 10);
  std::ranges::copy(program_name, packet.begin() + 20);
  std::ranges::copy(library_name, packet.begin() + 30);
  packet[40] = datastream_level < kFirstLevelWithNewMessageOption ? 4 : 6;
  server::put_u16(packet, 41, static_cast<std::uint16_t>(parameters.size()));

  std::size_t offset = kFirstParameterOffset;
  for (const ProgramParameter& parameter : parameters) {
    const auto data = sent_bytes(parameter);
    server::put_u32(packet, offset, static_cast<std::uint32_t>(kParameterHeadLength + data.size()));
    server::put_u16(packet, offset + 4, kParameterCodePoint);
    server::put_u32(packet, offset + 6, parameter.max_length);
    server::put_u16(packet, offset + 10, parameter.usage);
    std::ranges::copy(data, packet.begin() + static_cast<std::ptrdiff_t>(offset + kParameterHeadLength));
    offset += kParameterHeadLength + data.size();
  }
  return packet;
}

}  // namespace morva::command
