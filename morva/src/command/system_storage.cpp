#include "morva/command/program_call.hpp"
#include "morva/command/receivers.hpp"
#include "morva/ifs/reply_fields.hpp"

#include <fmt/format.h>

namespace morva::command {

namespace {

constexpr std::size_t kBytesReturnedOffset = 4;
constexpr std::uint32_t kStorageFieldsEnd = 60;
constexpr std::size_t kSystemAspOffset = 48;
constexpr std::size_t kSystemAspUsedOffset = 52;
constexpr std::size_t kTotalAuxiliaryStorageOffset = 56;
constexpr std::uint32_t kWholeAsp = 1'000'000;

}  // namespace

Result<SystemStorage> SystemStorage::parse(std::span<const std::uint8_t> packet) {
  const auto receiver = check_program_reply(packet, "retrieve system storage");
  if (!receiver) return std::unexpected(receiver.error());
  const auto incomplete = [] {
    return fail("retrieve system status did not return SSTS0200 storage fields");
  };
  if (receiver->size() < kStorageFieldsEnd) return incomplete();
  const auto bytes_returned = ifs::read_u32(*receiver, kBytesReturnedOffset);
  if (!bytes_returned) return std::unexpected(bytes_returned.error());
  if (*bytes_returned < kStorageFieldsEnd) return incomplete();

  SystemStorage storage;
  for (const auto& [field, offset] :
       {std::pair{&storage.system_asp_used, kSystemAspUsedOffset},
        std::pair{&storage.system_asp, kSystemAspOffset},
        std::pair{&storage.total_auxiliary_storage, kTotalAuxiliaryStorageOffset}}) {
    const auto value = ifs::read_u32(*receiver, offset);
    if (!value) return std::unexpected(value.error());
    *field = *value;
  }
  if (storage.system_asp_used > kWholeAsp)
    return fail(fmt::format("system ASP reported invalid usage value {}", storage.system_asp_used));
  return storage;
}

}  // namespace morva::command
