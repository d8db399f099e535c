#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varlin::filesystem {

// The path that `path` becomes when `from` is renamed to `to`: when it names the renamed object, under
// any of its spellings, or something below it, `to` followed by the rest of `path` as `path` spells it;
// otherwise nothing.
std::optional<std::string> renamed_path(std::string_view path, std::string_view from, std::string_view to);

}  // namespace varlin::filesystem
