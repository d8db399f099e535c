#include "metadata_pipe/request_path.hpp"

#include <algorithm>
#include <ranges>
#include <vector>

#include "morva/server/path_text.hpp"
#include "shared/path_text.hpp"

namespace varlin::metadata_pipe {

namespace {

constexpr std::size_t kMaxNameCharacters = 10;

std::string with_slashes(std::string_view path) {
  std::string result(path);
  std::ranges::replace(result, '\\', '/');
  return result;
}

std::size_t character_count(std::string_view text) {
  return static_cast<std::size_t>(std::ranges::count_if(text, [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

std::expected<std::string, std::string> resolve_request_path(std::string_view remote_root,
                                                             std::string_view path) {
  std::string relative = with_slashes(path);
  const bool climbs = std::ranges::any_of(std::views::split(relative, '/'), [](auto component) {
    return std::string_view(component.begin(), component.end()) == "..";
  });
  if (relative.find(':') != std::string::npos || climbs)
    return std::unexpected("metadata path must be relative to the mounted volume");
  const auto first = relative.find_first_not_of('/');
  if (first == std::string::npos) return std::unexpected("metadata path must identify a file");
  relative = relative.substr(first, relative.find_last_not_of('/') - first + 1);
  if (remote_root == "/") return "/" + relative;
  const auto root_end = remote_root.find_last_not_of('/');
  const auto root =
      root_end == std::string_view::npos ? std::string_view() : remote_root.substr(0, root_end + 1);
  return std::string(root) + "/" + relative;
}

std::optional<QsysObjectPath> parse_qsys_object_path(std::string_view path) {
  const auto components = morva::server::path_components(path);
  if (components.size() != 3 || !morva::server::is_qsys_root(components[0])) return std::nullopt;

  std::vector<std::string_view> pieces;
  for (auto piece : std::views::split(components[2], '.')) pieces.emplace_back(piece.begin(), piece.end());
  if (pieces.size() != 2 && pieces.size() != 3) return std::nullopt;

  std::string object_type = morva::server::ascii_upper(pieces.back());
  if (object_type == "LIB" || object_type == "MBR") return std::nullopt;
  return QsysObjectPath{std::string(filesystem::library_name(components[1])), std::string(pieces.front()),
                        std::move(object_type)};
}

std::optional<std::string_view> first_overlong_name(std::initializer_list<std::string_view> names) {
  for (auto name : names)
    if (character_count(name) > kMaxNameCharacters) return name;
  return std::nullopt;
}

}  // namespace varlin::metadata_pipe
