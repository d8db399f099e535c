#include "morva/ifs/offset_level.hpp"

#include "morva/ifs/request.hpp"

#include <fmt/format.h>

namespace morva::ifs {

Result<void> check_offset_level(std::uint64_t offset, std::uint16_t datastream_level) {
  if (offset > 0xFFFFFFFF && datastream_level < kLargeFileLevel)
    return fail(fmt::format("file offset {} requires file-service data stream level 16 or newer", offset));
  return {};
}

}  // namespace morva::ifs
