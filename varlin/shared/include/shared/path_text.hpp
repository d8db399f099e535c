#pragma once

#include <optional>
#include <string>
#include <string_view>

// Path text of the mount; the path model's own helpers are in morva/server/path_text.hpp.
namespace varlin::filesystem {

// The text before the last '/'; "/" when that is empty or there is no '/'.
std::string_view parent_path(std::string_view path);

// The rest of `value` after `prefix`, ASCII letters compared without case and other bytes exactly;
// nothing when the prefix does not match or ends inside a character of `value`.
std::optional<std::string_view> strip_prefix_ignore_ascii_case(std::string_view value,
                                                               std::string_view prefix);

// A library's name from its component: without a trailing ".LIB" in any ASCII case.
std::string_view library_name(std::string_view component);

// Whether a name stays in its directory: not empty, not "." or "..", without '/' or '\\'.
bool is_plain_name(std::string_view name);

// The name below the directory: "/name" under "/", "directory/name" elsewhere.
std::string join_path(std::string_view directory, std::string_view name);

// Whether `key` is `path` itself or lies below it ("/a/b" is below "/a", "/ab" is not).
bool is_at_or_below(std::string_view key, std::string_view path);

}  // namespace varlin::filesystem
