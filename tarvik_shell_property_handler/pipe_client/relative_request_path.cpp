#include "pipe_client/relative_request_path.hpp"

#include <algorithm>
#include <span>

#include "pipe_client/windows_path.hpp"

namespace tarvik {

namespace {

std::optional<std::string> join_names(std::span<const PathComponent> components) {
  std::string joined;
  for (const auto& component : components) {
    if (component.kind == PathComponentKind::parent) return std::nullopt;
    if (component.kind != PathComponentKind::normal) continue;
    if (!joined.empty()) joined.push_back('\\');
    joined.append(component.text);
  }
  if (joined.empty()) return std::nullopt;
  return joined;
}

}  // namespace

std::optional<std::string> relative_request_path(std::string_view path) {
  return join_names(split_windows_path(path));
}

std::optional<std::string> relative_request_path_below(std::string_view path, std::string_view root) {
  const auto components = split_windows_path(path);
  const auto root_components = split_windows_path(root);
  if (root_components.empty() || root_components.size() > components.size() ||
      !std::equal(root_components.begin(), root_components.end(), components.begin(), same_component))
    return std::nullopt;
  return join_names(std::span(components).subspan(root_components.size()));
}

}  // namespace tarvik
