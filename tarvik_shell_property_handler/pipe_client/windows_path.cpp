#include "pipe_client/windows_path.hpp"

#include <algorithm>

#include "pipe_client/ascii.hpp"

namespace tarvik {

namespace {

bool is_separator(char c) {
  return c == '\\' || c == '/';
}

std::size_t end_of_name(std::string_view path, std::size_t from) {
  while (from < path.size() && !is_separator(path[from])) ++from;
  return from;
}

// Steps over the separator after a name, then the next name.
std::size_t end_of_next_name(std::string_view path, std::size_t from) {
  if (from < path.size()) ++from;
  return end_of_name(path, from);
}

struct Prefix {
  std::size_t length = 0;
  bool has_root = false;
};

// "\\?\UNC\server\share", "\\?\name", "\\.\name", "\\server\share" or "C:".
Prefix read_prefix(std::string_view path) {
  if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
    const bool device =
        path.size() >= 3 && (path[2] == '?' || path[2] == '.') && (path.size() == 3 || is_separator(path[3]));
    if (!device) return {end_of_next_name(path, end_of_name(path, 2)), true};
    const std::size_t name_start = std::min<std::size_t>(4, path.size());
    const std::size_t name_end = end_of_name(path, name_start);
    if (path[2] == '?' && path.substr(name_start, name_end - name_start) == "UNC")
      return {end_of_next_name(path, end_of_next_name(path, name_end)), true};
    return {name_end, true};
  }
  if (path.size() >= 2 && is_ascii_letter(path[0]) && path[1] == ':') return {2, false};
  return {};
}

}  // namespace

std::vector<PathComponent> split_windows_path(std::string_view path) {
  std::vector<PathComponent> components;
  const Prefix prefix = read_prefix(path);
  std::size_t at = prefix.length;
  if (prefix.length > 0) components.push_back({PathComponentKind::prefix, path.substr(0, prefix.length)});
  if (prefix.has_root || (at < path.size() && is_separator(path[at])))
    components.push_back({PathComponentKind::root, "\\"});
  while (at < path.size()) {
    while (at < path.size() && is_separator(path[at])) ++at;
    const std::size_t end = end_of_name(path, at);
    const std::string_view name = path.substr(at, end - at);
    at = end;
    if (name.empty() || name == ".") continue;
    components.push_back({name == ".." ? PathComponentKind::parent : PathComponentKind::normal, name});
  }
  return components;
}

bool same_component(const PathComponent& a, const PathComponent& b) {
  const auto folded = [](char c) { return is_separator(c) ? '\\' : ascii_lower(c); };
  if (a.kind != b.kind) return false;
  if (a.kind == PathComponentKind::root) return true;  // written or implied by the prefix
  return std::ranges::equal(a.text, b.text, [&](char x, char y) { return folded(x) == folded(y); });
}

}  // namespace tarvik
