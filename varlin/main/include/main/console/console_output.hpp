#pragma once

#include <functional>
#include <string_view>

#include "morva/error.hpp"

namespace varlin {

// Writes UTF-8 text, whole, to one of the program's output streams.
using TextWriter = std::function<morva::Result<void>(std::string_view text)>;

}  // namespace varlin
