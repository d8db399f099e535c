#pragma once

#include "main/console/console_input.hpp"

namespace varlin {

// The process's one buffered standard input: a console read as UTF-16, anything else as UTF-8 bytes.
LineReader& standard_input();

}  // namespace varlin
