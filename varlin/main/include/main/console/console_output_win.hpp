#pragma once

#include <string_view>

#include "main/console/console_output.hpp"
#include "morva/error.hpp"

namespace varlin {

// Every message of the program (banner, prompts, errors, help, log lines) goes through these. A console
// is given the text as UTF-16, which it shows right whatever its code page; a file or a pipe is given the
// UTF-8 bytes as they are.
morva::Result<void> write_standard_output(std::string_view text);
morva::Result<void> write_standard_error(std::string_view text);

// Lets a console behind standard output show ANSI colours; any other output is left as it is.
void enable_console_colours();

}  // namespace varlin
