#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "main/console/console_output.hpp"

namespace varlin {

void write_standard_streams_as_bytes() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void enable_console_colours() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  // Not a console, or one too old for escapes: the escapes then show as they are.
  if (GetConsoleMode(output, &mode)) SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace varlin
