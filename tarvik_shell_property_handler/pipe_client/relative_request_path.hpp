#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

// The path as the metadata pipe takes it: its names below the prefix and root, joined with '\' ("."
// left out). Absent when a ".." occurs or no name is left.
std::optional<std::string> relative_request_path(std::string_view path);

// The same for the part of `path` below `root` (a volume root), which it must begin with, compared
// component by component. Absent when it does not.
std::optional<std::string> relative_request_path_below(std::string_view path, std::string_view root);

}  // namespace tarvik
