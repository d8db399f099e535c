#pragma once

#include <string_view>
#include <vector>

namespace tarvik {

enum class PathComponentKind { prefix, root, parent, normal };

struct PathComponent {
  PathComponentKind kind;
  std::string_view text;
};

// Splits a Windows path as Windows reads it: '\' and '/' both separate and repeated separators count as
// one; a drive ("C:"), UNC ("\\server\share") or device ("\\?\C:", "\\.\pipe") prefix and the root
// separator are components of their own kinds; "." components are left out. A UNC or device prefix
// always has a root, even when no separator follows it.
std::vector<PathComponent> split_windows_path(std::string_view path);

// Equal kinds and texts, ignoring ASCII case and which separator a prefix was written with (Windows
// names compare that way).
bool same_component(const PathComponent& a, const PathComponent& b);

}  // namespace tarvik
