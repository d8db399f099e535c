#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varlin::filesystem {

// Where a source member lives: its library and source file as the mount path writes them, and its
// path on the file server.
struct MemberLocation {
  std::string library;
  std::string file;
  std::string path;

  friend bool operator==(const MemberLocation&, const MemberLocation&) = default;
};

// The mount's record of one remote entry.
struct EntryInfo {
  std::optional<MemberLocation> member;  // present for a source member
  std::uint64_t size = 0;
  std::uint64_t modified = 0;  // seconds since 1970-01-01 UTC
  bool is_directory = false;

  friend bool operator==(const EntryInfo&, const EntryInfo&) = default;
};

// One entry of a directory listing, under the name the drive shows.
struct DirEntry {
  std::string name;
  EntryInfo entry;

  friend bool operator==(const DirEntry&, const DirEntry&) = default;
};

}  // namespace varlin::filesystem
