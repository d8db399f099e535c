#include "morva/server/resolve_remote_path.hpp"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "morva/server/path_text.hpp"
#include "morva/server/qsys_path.hpp"

namespace morva::server {
namespace {

// Cut at every '.', keeping empty pieces.
std::vector<std::string_view> dot_pieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  for (std::size_t start = 0;;) {
    const std::size_t dot = text.find('.', start);
    pieces.push_back(text.substr(start, dot - start));
    if (dot == std::string_view::npos) return pieces;
    start = dot + 1;
  }
}

bool is_library_or_member_type(std::string_view type) {
  return type == kLibrarySuffix.substr(1) || type == kMemberSuffix.substr(1);
}

}  // namespace

std::optional<std::string> object_path_from_display(std::string_view path) {
  const auto components = path_components(path);
  if (components.size() != 3 || !is_qsys_root(components[0])) return std::nullopt;
  const auto library = strip_suffix_ignore_case(components[1], kLibrarySuffix);
  if (!library) return std::nullopt;
  // object.type or object.attribute.type; the attribute is only shown, never part of the path.
  const auto pieces = dot_pieces(components[2]);
  if (pieces.size() != 2 && pieces.size() != 3) return std::nullopt;
  const std::string type = ascii_upper(pieces.back());
  if (is_library_or_member_type(type)) return std::nullopt;
  return fmt::format("/{}/{}{}/{}.{}", kQsysRoot, *library, kLibrarySuffix, pieces.front(), type);
}

std::string resolve_remote_path(std::string_view path) {
  if (auto object = object_path_from_display(path)) return *std::move(object);
  const auto components = path_components(path);
  if (components.empty() || !is_qsys_root(components[0])) return std::string(path);
  std::vector<std::string> resolved(components.begin(), components.end());
  resolved[0] = kQsysRoot;
  if (resolved.size() > 1 && !ends_with_ignore_ascii_case(resolved[1], kLibrarySuffix))
    resolved[1] += kLibrarySuffix;
  if (resolved.size() > 2 && resolved[2].find('.') == std::string::npos) resolved[2] += kFileSuffix;
  return fmt::format("/{}", fmt::join(resolved, "/"));
}

}  // namespace morva::server
