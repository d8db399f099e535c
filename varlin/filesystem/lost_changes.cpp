#include "filesystem/lost_changes.hpp"

#include <fmt/format.h>

#include <cstdio>

namespace varlin::filesystem {

std::string lost_changes_line(std::string_view path, std::string_view reason,
                              const std::optional<KeptText>& kept) {
  if (!kept)
    return fmt::format("Changes to {} are lost: {}; no copy of their text could be kept\n", path, reason);
  if (!kept->current)
    return fmt::format(
        "Changes to {} are lost: {}; no copy of their last text could be kept, an earlier text is kept in "
        "{}\n",
        path, reason, kept->copy);
  return fmt::format("Changes to {} are lost: {}; their text is kept in {}\n", path, reason, kept->copy);
}

std::string undeleted_line(std::string_view path, std::string_view reason) {
  return fmt::format("{} was not deleted: {}; it is still on the IBM i\n", path, reason);
}

std::string unconfirmed_delete_line(std::string_view path, std::string_view reason) {
  return fmt::format("{} may not have been deleted: {}; look on the IBM i\n", path, reason);
}

void write_to_standard_error(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace varlin::filesystem
