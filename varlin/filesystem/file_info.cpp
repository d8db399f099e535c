#include "filesystem/file_info.hpp"

#include <limits>
#include <vector>

#include "shared/keyed_hash.hpp"

namespace varlin::filesystem {

namespace {

constexpr std::uint64_t kEpochDifferenceSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
constexpr std::uint64_t kFiletimeUnitsPerSecond = 10000000;
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

// SipHash-1-3 under a zero key of the path's bytes and one 0xFF: the same path gives the same number
// in every run.
std::uint64_t index_number_of(std::string_view path) {
  std::vector<std::uint8_t> bytes(path.begin(), path.end());
  bytes.push_back(0xFF);
  return siphash13(0, 0, bytes);
}

}  // namespace

std::uint64_t filetime_of(std::uint64_t unix_seconds) {
  const std::uint64_t seconds =
      unix_seconds > kMax - kEpochDifferenceSeconds ? kMax : unix_seconds + kEpochDifferenceSeconds;
  return seconds > kMax / kFiletimeUnitsPerSecond ? kMax : seconds * kFiletimeUnitsPerSecond;
}

std::uint64_t unix_seconds_of(std::uint64_t filetime) {
  const std::uint64_t seconds = filetime / kFiletimeUnitsPerSecond;
  return seconds < kEpochDifferenceSeconds ? 0 : seconds - kEpochDifferenceSeconds;
}

std::uint32_t file_attributes_of(const EntryInfo& entry) {
  return entry.is_directory ? winfsp::kFileAttributeDirectory : winfsp::kFileAttributeNormal;
}

void fill_file_info(winfsp::FSP_FSCTL_FILE_INFO& info, std::string_view path, const EntryInfo& entry) {
  info.FileAttributes = file_attributes_of(entry);
  info.AllocationSize = entry.size;
  info.FileSize = entry.size;
  const std::uint64_t time = filetime_of(entry.modified);
  info.CreationTime = time;
  info.LastAccessTime = time;
  info.LastWriteTime = time;
  info.ChangeTime = time;
  info.IndexNumber = index_number_of(path);
}

}  // namespace varlin::filesystem
