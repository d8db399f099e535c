#include "filesystem/lost_changes.hpp"

#include <fmt/format.h>

#include <cstdio>

namespace varlin::filesystem {

std::string lost_changes_line(std::string_view path, std::string_view reason,
                              const std::optional<KeptText>& kept, UnsavedChanges changes) {
  const std::string_view what = changes == UnsavedChanges::lost ? "are lost" : "may not have been saved";
  std::string where;
  if (!kept) {
    where = "no copy of their text could be kept";
  } else if (!kept->current) {
    where =
        fmt::format("no copy of their last text could be kept, an earlier text is kept in {}", kept->copy);
  } else {
    where = fmt::format("their text is kept in {}", kept->copy);
  }
  const std::string_view look = changes == UnsavedChanges::lost ? "" : "; look on the IBM i";
  return fmt::format("Changes to {} {}: {}; {}{}\n", path, what, reason, where, look);
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
