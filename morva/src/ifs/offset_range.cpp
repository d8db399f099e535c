#include "ifs/offset_range.hpp"

#include "morva/ifs/offset_level.hpp"

#include <limits>

namespace morva::ifs {

Result<void> check_offset_range(std::uint64_t start, std::uint64_t length, std::uint16_t datastream_level,
                                std::string overflow_message) {
  if (auto checked = check_offset_level(start, datastream_level); !checked) return checked;
  if (length == 0) return {};
  if (start > std::numeric_limits<std::uint64_t>::max() - (length - 1))
    return fail(std::move(overflow_message));
  return check_offset_level(start + (length - 1), datastream_level);
}

}  // namespace morva::ifs
