#pragma once

#include "morva/error.hpp"

#include <cstdint>
#include <string_view>

namespace morva::ifs {

// A failing return code of the file server, as an error that keeps the code beside its text
// "{phrase} for {path} (return code {code})".
Error return_code_error(std::uint16_t code, std::string_view path);

}  // namespace morva::ifs
