#include "filesystem/file_info.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace varlin::filesystem {
namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
// The last second since 1970 whose FILETIME fits in 64 bits.
constexpr std::uint64_t kLastFittingSecond = 1833029933770;

EntryInfo entry_of(std::uint64_t size, std::uint64_t modified, bool is_directory) {
  return EntryInfo{.member = std::nullopt, .size = size, .modified = modified, .is_directory = is_directory};
}

TEST(FillFileInfo, WritesAttributesSizesTimesAndIndexNumberOnly) {
  struct Case {
    std::string path;
    EntryInfo entry;
    std::uint32_t attributes;
    std::uint64_t time;
    std::uint64_t index_number;  // CPython 3.11: hash(path + b"\xff") & (2**64 - 1), PYTHONHASHSEED=0
  };
  const Case cases[] = {
      {"/home/dev/notes.txt", entry_of(10, 1700000000, false), 0x80, 133444736000000000u,
       8405772125066479993u},
      {"/", entry_of(0, 0, true), 0x10, 116444736000000000u, 14924153705535855226u},
      {"/QSYS.LIB/DEVLIB.LIB/QCLSRC/HELLO.clp", entry_of(240, kLastFittingSecond, false), 0x80,
       18446744073700000000u, 18222906843030690507u},
      {"/", entry_of(0, kLastFittingSecond + 1, true), 0x10, kMax, 14924153705535855226u},
      {"/", entry_of(0, kMax, false), 0x80, kMax, 14924153705535855226u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " modified " + std::to_string(c.entry.modified));
    winfsp::FSP_FSCTL_FILE_INFO info{};
    info.ReparseTag = 7;
    info.HardLinks = 8;
    info.EaSize = 9;
    fill_file_info(info, c.path, c.entry);
    EXPECT_EQ(info.FileAttributes, c.attributes);
    EXPECT_EQ(info.AllocationSize, c.entry.size);
    EXPECT_EQ(info.FileSize, c.entry.size);
    EXPECT_EQ(info.CreationTime, c.time);
    EXPECT_EQ(info.LastAccessTime, c.time);
    EXPECT_EQ(info.LastWriteTime, c.time);
    EXPECT_EQ(info.ChangeTime, c.time);
    EXPECT_EQ(info.IndexNumber, c.index_number);
    EXPECT_EQ(info.ReparseTag, 7u);
    EXPECT_EQ(info.HardLinks, 8u);
    EXPECT_EQ(info.EaSize, 9u);
  }
}

}  // namespace
}  // namespace varlin::filesystem
