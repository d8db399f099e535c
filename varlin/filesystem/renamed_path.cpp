#include "filesystem/renamed_path.hpp"

#include <algorithm>

#include "morva/server/path_text.hpp"
#include "shared/path_text.hpp"
#include "shared/spellings.hpp"

namespace varlin::filesystem {

namespace {

// What follows the first `count` components of the path, from the '/' after them on.
std::string_view after_components(std::string_view path, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < count; ++i)
    end = std::min(path.find('/', path.find_first_not_of('/', end)), path.size());
  return path.substr(end);
}

}  // namespace

std::optional<std::string> renamed_path(std::string_view path, std::string_view from, std::string_view to) {
  if (!is_at_or_below(object_key(path), object_key(from))) return std::nullopt;
  // Spellings of one object have as many components, not always as many bytes.
  const std::string_view rest = after_components(path, morva::server::path_components(from).size());
  if (to == "/" && !rest.empty()) return std::string(rest);
  return std::string(to).append(rest);
}

}  // namespace varlin::filesystem
