#include <fmt/format.h>

#include "main/console/password_win.hpp"
#include "shared/windows_text_win.hpp"

namespace varlin {

namespace {

constexpr wchar_t kPasswordPrompt[] = L"IBM i password: ";

morva::Error prompt_error(std::string_view operation) {
  return morva::Error::io(
      morva::IoErrorKind::other,
      fmt::format("password prompt: {} failed with Windows error {}", operation, GetLastError()));
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Puts the console's input mode back however the prompt ends.
class ModeRestorer {
 public:
  ModeRestorer(HANDLE console, DWORD mode) : console_(console), mode_(mode) {}
  ModeRestorer(const ModeRestorer&) = delete;
  ModeRestorer& operator=(const ModeRestorer&) = delete;
  ~ModeRestorer() { SetConsoleMode(console_, mode_); }

 private:
  HANDLE console_;
  DWORD mode_;
};

Handle open_console(const wchar_t* device) {
  return Handle(CreateFileW(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr));
}

morva::Result<void> write_console(HANDLE output, std::wstring_view text) {
  DWORD written = 0;
  if (!WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
    return std::unexpected(prompt_error("writing to the console"));
  return {};
}

// The typed line up to its line end, read from the console whose echo is off.
morva::Result<WipedWide> read_hidden_line(HANDLE input) {
  WipedWide line;
  wchar_t chunk[256];
  for (;;) {
    DWORD read = 0;
    const BOOL ok = ReadConsoleW(input, chunk, static_cast<DWORD>(std::size(chunk)), &read, nullptr);
    line.insert(line.end(), chunk, chunk + (ok ? read : 0));
    morva::wipe(chunk, sizeof(chunk));
    if (!ok) return std::unexpected(prompt_error("reading the console"));
    if (read == 0)
      return std::unexpected(
          morva::Error::io(morva::IoErrorKind::unexpected_eof, "password prompt: console input ended"));
    const auto end =
        std::find_if(line.begin(), line.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; });
    if (end != line.end()) {
      line.erase(end, line.end());
      return line;
    }
  }
}

morva::Result<morva::Secret> prompt_password() {
  const Handle input = open_console(L"CONIN$");
  const Handle output = open_console(L"CONOUT$");
  if (!input.valid() || !output.valid()) return std::unexpected(prompt_error("opening the console"));

  DWORD mode = 0;
  if (!GetConsoleMode(input.get(), &mode)) return std::unexpected(prompt_error("reading the console mode"));
  if (auto shown = write_console(output.get(), kPasswordPrompt); !shown)
    return std::unexpected(shown.error());
  auto line = [&]() -> morva::Result<WipedWide> {
    const DWORD hidden =
        (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT;
    if (!SetConsoleMode(input.get(), hidden)) return std::unexpected(prompt_error("turning the echo off"));
    const ModeRestorer restore(input.get(), mode);
    return read_hidden_line(input.get());
  }();
  // The line end was not echoed either.
  (void)write_console(output.get(), L"\r\n");
  if (!line) return std::unexpected(line.error());

  auto password = password_from_utf16(as_utf16(line->data(), line->size()));
  if (!password)
    return std::unexpected(morva::Error::io(morva::IoErrorKind::invalid_data,
                                            "password prompt: typed text is not valid Unicode"));
  return std::move(*password);
}

}  // namespace

morva::Result<morva::Secret> resolve_password() {
  if (const std::optional<WipedWide> value = read_environment(L"MORVA_PASSWORD")) {
    if (auto password = password_from_utf16(as_utf16(value->data(), value->size())))
      return std::move(*password);
  }
  return prompt_password();
}

}  // namespace varlin
