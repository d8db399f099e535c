#include "filesystem/path_text.hpp"

#include <algorithm>

namespace varlin::filesystem {

namespace {

char fold_ascii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

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
  const bool same = std::ranges::equal(value.substr(0, prefix.size()), prefix,
                                       [](char a, char b) { return fold_ascii(a) == fold_ascii(b); });
  if (!same) return std::nullopt;
  return value.substr(prefix.size());
}

bool equals_ignore_ascii_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strip_prefix_ignore_ascii_case(a, b).has_value();
}

std::string to_ascii_upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::vector<std::string> path_components(std::string_view path) {
  std::vector<std::string> components;
  std::string component;
  for (char c : path) {
    if (c != '/' && c != '\\') {
      component += c;
    } else if (!component.empty()) {
      components.push_back(std::move(component));
      component.clear();
    }
  }
  if (!component.empty()) components.push_back(std::move(component));
  return components;
}

std::string_view library_name(std::string_view component) {
  constexpr std::string_view kSuffix = ".LIB";
  if (component.size() >= kSuffix.size() &&
      equals_ignore_ascii_case(component.substr(component.size() - kSuffix.size()), kSuffix))
    component.remove_suffix(kSuffix.size());
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
