#pragma once

#include <optional>
#include <string_view>

#include "morva/secret.hpp"

namespace varlin {

// A password typed or read as UTF-16, as UTF-8 bytes; absent when the units are not valid UTF-16.
std::optional<morva::Secret> password_from_utf16(std::u16string_view units);

}  // namespace varlin
