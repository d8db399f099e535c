#include <windows.h>

#include <fmt/format.h>

#include <algorithm>
#include <string>

#include "main/console/console_output_win.hpp"
#include "shared/windows_text_win.hpp"

namespace varlin {

namespace {

// Repeats a partial write until all is written; a write that takes nothing is a failure.
template <typename Unit, typename WriteSome>
bool write_whole(std::basic_string_view<Unit> rest, WriteSome write_some) {
  while (!rest.empty()) {
    DWORD written = 0;
    const auto count = static_cast<DWORD>(std::min<std::size_t>(rest.size(), MAXDWORD));
    if (!write_some(rest.data(), count, &written) || written == 0) return false;
    rest.remove_prefix(written);
  }
  return true;
}

morva::Result<void> write_text(DWORD which, std::string_view name, std::string_view text) {
  const HANDLE stream = GetStdHandle(which);
  DWORD mode = 0;
  bool written = false;
  if (GetConsoleMode(stream, &mode)) {
    const std::wstring units = to_wide(text);
    written = write_whole(std::wstring_view(units), [&](const wchar_t* data, DWORD count, DWORD* done) {
      return WriteConsoleW(stream, data, count, done, nullptr);
    });
  } else {
    written = write_whole(text, [&](const char* data, DWORD count, DWORD* done) {
      return WriteFile(stream, data, count, done, nullptr);
    });
  }
  if (!written)
    return std::unexpected(
        morva::Error::io(morva::IoErrorKind::other,
                         fmt::format("writing to {} failed with Windows error {}", name, GetLastError())));
  return {};
}

}  // namespace

morva::Result<void> write_standard_output(std::string_view text) {
  return write_text(STD_OUTPUT_HANDLE, "standard output", text);
}

morva::Result<void> write_standard_error(std::string_view text) {
  return write_text(STD_ERROR_HANDLE, "standard error", text);
}

void enable_console_colours() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  // Not a console, or one too old for escapes: the escapes then show as they are.
  if (GetConsoleMode(output, &mode)) SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace varlin
