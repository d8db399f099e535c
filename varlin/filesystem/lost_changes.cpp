#include "filesystem/lost_changes.hpp"

#include <fmt/format.h>

#include <cstdio>

namespace varlin::filesystem {

std::string lost_changes_line(std::string_view path, std::string_view reason,
                              const std::optional<std::string>& copy) {
  if (!copy)
    return fmt::format("Changes to {} are lost: {}; no copy of their text could be kept\n", path, reason);
  return fmt::format("Changes to {} are lost: {}; their text is kept in {}\n", path, reason, *copy);
}

void write_to_standard_error(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace varlin::filesystem
