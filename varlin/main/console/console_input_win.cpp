#include <fmt/format.h>

#include <algorithm>
#include <memory>

#include "main/console/console_input_win.hpp"
#include "morva/ccsid/utf16.hpp"
#include "shared/windows_text_win.hpp"

namespace varlin {

namespace {

morva::Error last_error(std::string_view operation) {
  return morva::Error::io(morva::IoErrorKind::other,
                          fmt::format("{} failed with Windows error {}", operation, GetLastError()));
}

// A console is read as UTF-16 and handed on as UTF-8.
class ConsoleSource : public ByteSource {
 public:
  explicit ConsoleSource(HANDLE console) : console_(console) {}

  morva::Result<std::size_t> read(std::span<char> buffer) override {
    // A read may give only half of a surrogate pair, which waits for the next one.
    while (pending_.empty()) {
      wchar_t units[1024];
      std::size_t count = 0;
      if (high_surrogate_ != 0) units[count++] = std::exchange(high_surrogate_, 0);
      DWORD read = 0;
      if (!ReadConsoleW(console_, units + count, static_cast<DWORD>(std::size(units) - count), &read,
                        nullptr))
        return std::unexpected(last_error("reading the console"));
      if (read == 0) return 0;
      count += read;
      // Ctrl+Z at the start of a line is the console's end of input.
      if (units[0] == L'\x1A') return 0;
      // A pair split across two reads is joined on the next one.
      if (units[count - 1] >= 0xD800 && units[count - 1] <= 0xDBFF) high_surrogate_ = units[--count];
      morva::ccsid::append_utf8_of_utf16(as_utf16(units, count), pending_);
      offset_ = 0;
    }
    const std::size_t count = std::min(buffer.size(), pending_.size() - offset_);
    std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(offset_), count, buffer.begin());
    offset_ += count;
    if (offset_ == pending_.size()) pending_.clear();
    return count;
  }

 private:
  HANDLE console_;
  std::string pending_;
  std::size_t offset_ = 0;
  wchar_t high_surrogate_ = 0;
};

// Redirected input is taken as UTF-8 bytes.
class FileSource : public ByteSource {
 public:
  explicit FileSource(HANDLE file) : file_(file) {}

  morva::Result<std::size_t> read(std::span<char> buffer) override {
    if (file_ == nullptr || file_ == INVALID_HANDLE_VALUE) return 0;
    DWORD read = 0;
    if (!ReadFile(file_, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
      return std::unexpected(last_error("reading standard input"));
    }
    return read;
  }

 private:
  HANDLE file_;
};

std::unique_ptr<ByteSource> standard_input_source() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode))
    return std::make_unique<ConsoleSource>(input);
  return std::make_unique<FileSource>(input);
}

}  // namespace

// Never destroyed: the stop reader may still be blocked in a read of it when the process exits.
LineReader& standard_input() {
  static LineReader& reader = *new LineReader(*standard_input_source().release());
  return reader;
}

}  // namespace varlin
