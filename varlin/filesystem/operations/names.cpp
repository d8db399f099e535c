#include "filesystem/operations/names.hpp"

#include <fmt/format.h>

namespace varlin::filesystem::operations {

std::string hex_flags(std::uint32_t flags) {
  return fmt::format("0x{:08x}", flags);
}

std::uint64_t now_seconds() {
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  return seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds);
}

}  // namespace varlin::filesystem::operations
