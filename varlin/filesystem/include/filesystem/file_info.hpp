#pragma once

#include <cstdint>
#include <string_view>

#include "filesystem/entry_info.hpp"
#include "winfsp/records.hpp"

namespace varlin::filesystem {

// Seconds since 1970 as a Windows FILETIME (100 ns since 1601), saturating.
std::uint64_t filetime_of(std::uint64_t unix_seconds);

// A FILETIME as seconds since 1970, 0 for anything earlier.
std::uint64_t unix_seconds_of(std::uint64_t filetime);

// The entry's attributes (directory or normal), sizes, four times and an index number stable for the
// path across runs; nothing else of the record is written.
void fill_file_info(winfsp::FSP_FSCTL_FILE_INFO& info, std::string_view path, const EntryInfo& entry);

std::uint32_t file_attributes_of(const EntryInfo& entry);

}  // namespace varlin::filesystem
