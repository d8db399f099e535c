#include "morva/command/program_call.hpp"
#include "morva/command/receivers.hpp"
#include "morva/ifs/reply_fields.hpp"

#include <fmt/format.h>

namespace morva::command {

namespace {

constexpr std::size_t kAttributeOffset = 8;
constexpr std::uint8_t kSourceFileBit = 0x08;
constexpr std::size_t kRecordLengthOffset = 304;
constexpr std::uint16_t kMinimumRecordLength = 13;  // 12 bytes of sequence number and date, then text

}  // namespace

Result<FileDescription> FileDescription::parse(std::span<const std::uint8_t> packet) {
  const auto receiver = check_program_reply(packet, "retrieve file description");
  if (!receiver) return std::unexpected(receiver.error());
  if (receiver->size() <= kRecordLengthOffset + 1)
    return fail("file-description receiver does not contain a record length");
  if (((*receiver)[kAttributeOffset] & kSourceFileBit) == 0)
    return fail("database file is not a source physical file");

  const auto record_length = ifs::read_u16(*receiver, kRecordLengthOffset);
  if (!record_length) return std::unexpected(record_length.error());
  if (*record_length < kMinimumRecordLength)
    return fail(fmt::format("source file reported invalid record length {}", *record_length));
  return FileDescription{.record_length = *record_length};
}

}  // namespace morva::command
