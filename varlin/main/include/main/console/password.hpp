#pragma once

#include <optional>
#include <string_view>

#include "morva/error.hpp"
#include "morva/secret.hpp"

namespace varlin {

// A password typed or read as UTF-16, as UTF-8 bytes; absent when the units are not valid UTF-16.
std::optional<morva::Secret> password_from_utf16(std::u16string_view units);

#ifdef _WIN32
// The IBM i password: `MORVA_PASSWORD` exactly as set, else asked for on the console without echo.
morva::Result<morva::Secret> resolve_password();
#endif

}  // namespace varlin
