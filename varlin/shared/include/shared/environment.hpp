#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varlin {

// The process's environment variable as UTF-8: absent when unset, empty when set to nothing. A value
// that is not valid Unicode comes back as invalid UTF-8, so callers can tell it apart.
std::optional<std::string> process_environment_value(std::string_view name);

}  // namespace varlin
