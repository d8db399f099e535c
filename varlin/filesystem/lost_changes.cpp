#include "filesystem/lost_changes.hpp"

#include <fmt/format.h>

#include <cstdio>

namespace varlin::filesystem {

std::string lost_changes_line(std::string_view path, std::string_view reason) {
  return fmt::format("Changes to {} are lost: {}\n", path, reason);
}

void write_to_standard_error(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace varlin::filesystem
