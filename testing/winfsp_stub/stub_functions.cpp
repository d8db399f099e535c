#include "stub_functions.hpp"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace winfsp_stub {

namespace {

using namespace varlin::winfsp;

constexpr std::uint32_t kAlignment = 8;
constexpr NtStatus kStatusReparse = 0x00000104;

std::uint32_t align_up(std::uint32_t size) {
  return (size + kAlignment - 1) & ~(kAlignment - 1);
}

}  // namespace

bool add_dir_info(const FSP_FSCTL_DIR_INFO* dir_info, void* buffer, std::uint32_t length,
                  std::uint32_t* bytes_transferred) {
  static constexpr std::uint16_t kEndMarker = 0;
  const void* source = dir_info != nullptr ? static_cast<const void*>(dir_info) : &kEndMarker;
  const std::uint32_t size = dir_info != nullptr ? dir_info->Size : sizeof(kEndMarker);
  const std::uint32_t start = align_up(*bytes_transferred);
  if (buffer == nullptr || start > length || length - start < size) return false;
  std::memcpy(static_cast<std::byte*>(buffer) + start, source, size);
  // Records are padded to the next boundary; the end marker is the last thing and is not.
  *bytes_transferred = std::min(start + (dir_info != nullptr ? align_up(size) : size), length);
  return true;
}

NtStatus nt_status_from_win32(std::uint32_t error) {
  switch (error) {
    case 0: return kStatusSuccess;
    case 2: return kStatusObjectNameNotFound;     // ERROR_FILE_NOT_FOUND
    case 5: return kStatusAccessDenied;           // ERROR_ACCESS_DENIED
    case 87: return kStatusInvalidParameter;      // ERROR_INVALID_PARAMETER
    case 183: return kStatusObjectNameCollision;  // ERROR_ALREADY_EXISTS
    case 206: return kStatusNameTooLong;          // ERROR_FILENAME_EXCED_RANGE
    case 267: return kStatusNotADirectory;        // ERROR_DIRECTORY
    case 336: return kStatusFileIsADirectory;     // ERROR_DIRECTORY_NOT_SUPPORTED
    default: return kStatusUnsuccessful;
  }
}

NtStatus resolve_reparse_points(FSP_FILE_SYSTEM* file_system, GetReparsePointByName by_name, void* context,
                                const char16_t* file_name) {
  const std::u16string_view name(file_name);
  for (std::size_t end = name.find(u'\\', 1);; end = name.find(u'\\', end + 1)) {
    std::u16string prefix(name.substr(0, end));
    if (by_name(file_system, context, prefix.data(), end != std::u16string_view::npos, nullptr, nullptr) >= 0)
      return kStatusReparse;
    if (end == std::u16string_view::npos) return kStatusObjectNameNotFound;
  }
}

}  // namespace winfsp_stub
