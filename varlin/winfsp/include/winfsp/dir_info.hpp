#pragma once

#include <cstddef>
#include <string_view>

#include "winfsp/records.hpp"

namespace varlin::winfsp {

// The longest name, in UTF-16 units, that a directory record carries.
constexpr std::size_t kMaxDirInfoNameUnits = 255;

// A directory record with room for the longest name.
struct DirInfoRecord {
  FSP_FSCTL_DIR_INFO info;
  char16_t name[kMaxDirInfoNameUnits];
};
static_assert(offsetof(DirInfoRecord, name) == sizeof(FSP_FSCTL_DIR_INFO));

// Writes `name` behind the record's fixed part and sets Size; false, with nothing written, for a name
// longer than kMaxDirInfoNameUnits. The record must lie in a buffer with room for the name (a
// DirInfoRecord, or the record WinFsp hands to GetDirInfoByName).
bool set_dir_info_name(FSP_FSCTL_DIR_INFO& info, std::u16string_view name);

// The name behind a record's fixed part, as Size gives it.
std::u16string_view dir_info_name(const FSP_FSCTL_DIR_INFO& info);

// Gives WinFsp the name an open file is known by (without a terminating zero). Nothing is written
// when WinFsp offers no buffer or one too small for the name.
void set_normalized_name(FSP_FSCTL_OPEN_FILE_INFO& info, std::u16string_view name);

}  // namespace varlin::winfsp
