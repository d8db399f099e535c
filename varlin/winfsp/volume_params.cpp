#include "winfsp/volume_params.hpp"

#include <algorithm>
#include <limits>
#include <string_view>

namespace varlin {

namespace {

constexpr std::u16string_view kFileSystemName = u"VARLIN";
constexpr std::uint32_t kNeverExpires = std::numeric_limits<std::uint32_t>::max();

}  // namespace

std::uint32_t info_timeout_ms(std::uint32_t cache_ttl_seconds) {
  const std::uint64_t milliseconds = std::uint64_t{cache_ttl_seconds} * 1000;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(milliseconds, kNeverExpires));
}

winfsp::FSP_FSCTL_VOLUME_PARAMS mount_volume_params(std::uint32_t mount_id, std::uint32_t cache_ttl_seconds) {
  winfsp::FSP_FSCTL_VOLUME_PARAMS params{};
  params.VolumeSerialNumber = mount_id;
  params.FileInfoTimeout = info_timeout_ms(cache_ttl_seconds);
  // Its valid flag stays clear, so FileInfoTimeout covers directory information as well.
  params.DirInfoTimeout = params.FileInfoTimeout;
  // Without POSIX unlink and rename: every request to the IBM i goes by name, so a name must keep
  // naming its file while a handle holds it open.
  params.Flags = winfsp::kCaseSensitiveSearch | winfsp::kCasePreservedNames | winfsp::kUnicodeOnDisk |
                 winfsp::kAlwaysUseDoubleBuffering | winfsp::kPassQueryDirectoryFileName |
                 winfsp::kUmFileContextIsUserContext2;
  // A time-out that never ends makes WinFsp cache file data; the cached writes must reach the mount
  // before Cleanup writes a member back.
  if (params.FileInfoTimeout == kNeverExpires) params.Flags |= winfsp::kFlushAndPurgeOnCleanup;
  std::copy(kFileSystemName.begin(), kFileSystemName.end(), params.FileSystemName);
  return params;
}

}  // namespace varlin
