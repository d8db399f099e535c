#include "winfsp/dir_info.hpp"

#include <cstring>

namespace varlin::winfsp {

namespace {

std::byte* name_area(FSP_FSCTL_DIR_INFO& info) {
  return reinterpret_cast<std::byte*>(&info) + sizeof(FSP_FSCTL_DIR_INFO);
}

}  // namespace

bool set_dir_info_name(FSP_FSCTL_DIR_INFO& info, std::u16string_view name) {
  if (name.size() > kMaxDirInfoNameUnits) return false;
  const std::size_t bytes = name.size() * sizeof(char16_t);
  std::memcpy(name_area(info), name.data(), bytes);
  info.Size = static_cast<std::uint16_t>(sizeof(FSP_FSCTL_DIR_INFO) + bytes);
  return true;
}

std::u16string_view dir_info_name(const FSP_FSCTL_DIR_INFO& info) {
  const std::size_t bytes =
      info.Size > sizeof(FSP_FSCTL_DIR_INFO) ? info.Size - sizeof(FSP_FSCTL_DIR_INFO) : 0;
  return {reinterpret_cast<const char16_t*>(reinterpret_cast<const std::byte*>(&info) +
                                            sizeof(FSP_FSCTL_DIR_INFO)),
          bytes / sizeof(char16_t)};
}

void set_normalized_name(FSP_FSCTL_OPEN_FILE_INFO& info, std::u16string_view name) {
  const std::size_t bytes = name.size() * sizeof(char16_t);
  if (info.NormalizedName == nullptr || bytes > info.NormalizedNameSize) return;
  std::memcpy(info.NormalizedName, name.data(), bytes);
  info.NormalizedNameSize = static_cast<std::uint16_t>(bytes);
}

}  // namespace varlin::winfsp
