#include "pipe_client/system_access_win.hpp"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/wide_text_win.hpp"
#include "pipe_client/pipe_client_win.hpp"
#include "pipe_client/request_message.hpp"

namespace tarvik {

namespace {

constexpr DWORD kVolumePathCapacity = 32768;

}  // namespace

std::optional<std::string> WindowsSystemAccess::volume_path_name(const std::string& path) {
  const std::wstring wide_path = wide_from_utf8(path);
  std::vector<wchar_t> root(kVolumePathCapacity, L'\0');
  if (!GetVolumePathNameW(wide_path.c_str(), root.data(), kVolumePathCapacity)) return std::nullopt;
  const auto end = std::ranges::find(root, L'\0');
  if (end == root.end()) return std::nullopt;
  return utf8_from_utf16(as_utf16({root.data(), static_cast<std::size_t>(end - root.begin())}));
}

std::optional<std::uint32_t> WindowsSystemAccess::volume_serial_number(const std::string& root) {
  DWORD serial = 0;
  if (!GetVolumeInformationW(wide_from_utf8(root).c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
    return std::nullopt;
  return serial;
}

std::optional<std::string> WindowsSystemAccess::exchange(std::uint32_t mount_id, const std::string& message) {
  return exchange_on_pipe(wide_from_utf8(metadata_pipe_name(mount_id)), message);
}

MonotonicClock::time_point WindowsSystemAccess::now() {
  return MonotonicClock::now();
}

SharedResultCache RESULT_CACHE;

std::optional<MetadataResult> fetch_file_properties(const std::string& path) {
  WindowsSystemAccess system;
  return fetch_file_properties(path, system, RESULT_CACHE);
}

}  // namespace tarvik
