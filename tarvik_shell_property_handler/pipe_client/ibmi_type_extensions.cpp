#include "pipe_client/ibmi_type_extensions.hpp"

#include <algorithm>

#include "pipe_client/ascii.hpp"
#include "pipe_client/windows_path.hpp"

namespace tarvik {

bool has_ibmi_type_extension(std::string_view path) {
  const auto components = split_windows_path(path);
  if (components.empty() || components.back().kind != PathComponentKind::normal) return false;
  const std::string_view name = components.back().text;
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const std::string_view extension = name.substr(dot + 1);
  return std::ranges::any_of(IBMI_TYPE_EXTENSIONS, [extension](std::string_view listed) {
    return equal_ignoring_ascii_case(extension, listed);
  });
}

}  // namespace tarvik
