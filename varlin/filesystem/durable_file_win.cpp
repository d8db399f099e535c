#include <windows.h>

#include <algorithm>

#include "filesystem/durable_file.hpp"

namespace varlin::filesystem {

namespace {

// In the portable terms for the failures that callers tell apart.
std::unexpected<std::error_code> last_error() {
  const DWORD error = GetLastError();
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return std::unexpected(std::make_error_code(std::errc::file_exists));
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return std::unexpected(std::make_error_code(std::errc::no_such_file_or_directory));
    default: return std::unexpected(std::error_code(static_cast<int>(error), std::system_category()));
  }
}

std::expected<void, std::error_code> write_all(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), MAXDWORD));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return last_error();
    if (written == 0) return std::unexpected(std::make_error_code(std::errc::io_error));
    bytes.remove_prefix(written);
  }
  return {};
}

}  // namespace

std::expected<void, std::error_code> write_new_file_durably(const std::filesystem::path& path,
                                                            std::string_view bytes) {
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return last_error();
  // A device name opens the device: writing to it would keep nothing.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return std::unexpected(std::error_code(ERROR_INVALID_NAME, std::system_category()));
  }
  auto written = write_all(file, bytes);
  if (written && !FlushFileBuffers(file)) written = last_error();
  if (!CloseHandle(file) && written) written = last_error();
  if (!written) DeleteFileW(path.c_str());
  return written;
}

}  // namespace varlin::filesystem
