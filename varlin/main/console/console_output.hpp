#pragma once

#ifdef _WIN32

namespace varlin {

// Standard output and standard error pass a line feed on as it is written, not as CR LF.
void write_standard_streams_as_bytes();

// Lets a console behind standard output show ANSI colours; any other output is left as it is.
void enable_console_colours();

}  // namespace varlin

#endif
