#include "shared/path_text.hpp"

#include "morva/server/path_text.hpp"

namespace varlin::filesystem {

namespace {

bool is_continuation_byte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string_view parent_path(std::string_view path) {
  const auto slash = path.rfind('/');
  if (slash == std::string_view::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

std::optional<std::string_view> strip_prefix_ignore_ascii_case(std::string_view value,
                                                               std::string_view prefix) {
  if (prefix.size() > value.size()) return std::nullopt;
  if (prefix.size() < value.size() && is_continuation_byte(value[prefix.size()])) return std::nullopt;
  if (!morva::server::equals_ignore_ascii_case(value.substr(0, prefix.size()), prefix)) return std::nullopt;
  return value.substr(prefix.size());
}

std::string_view library_name(std::string_view component) {
  if (morva::server::ends_with_ignore_ascii_case(component, morva::server::kLibrarySuffix))
    component.remove_suffix(morva::server::kLibrarySuffix.size());
  return component;
}

bool is_plain_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string_view::npos;
}

std::string join_path(std::string_view directory, std::string_view name) {
  std::string path(directory == "/" ? "" : directory);
  path += '/';
  path += name;
  return path;
}

bool is_at_or_below(std::string_view key, std::string_view path) {
  return key.starts_with(path) && (key.size() == path.size() || key[path.size()] == '/');
}

}  // namespace varlin::filesystem
