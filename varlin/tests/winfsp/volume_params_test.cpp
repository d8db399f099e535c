#include "winfsp/volume_params.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace varlin {
namespace {

TEST(VolumeParams, InformationTimeoutIsTheLifetimeInMillisecondsUpTo32Bits) {
  EXPECT_EQ(info_timeout_ms(0), 0u);
  EXPECT_EQ(info_timeout_ms(30), 30'000u);
  EXPECT_EQ(info_timeout_ms(4'294'967), 4'294'967'000u);
  EXPECT_EQ(info_timeout_ms(4'294'968), 0xFFFFFFFFu);
  EXPECT_EQ(info_timeout_ms(0xFFFFFFFF), 0xFFFFFFFFu);
}

TEST(VolumeParams, DescribeTheMount) {
  const winfsp::FSP_FSCTL_VOLUME_PARAMS params = mount_volume_params(0x1A2B, 30);
  EXPECT_EQ(params.Version, 0u);
  EXPECT_EQ(params.VolumeSerialNumber, 0x1A2Bu);
  EXPECT_EQ(params.FileInfoTimeout, 30'000u);
  EXPECT_EQ(params.DirInfoTimeout, 30'000u);
  EXPECT_EQ(params.TimeoutValidFlags, 0u) << "FileInfoTimeout covers directories too";
  // CaseSensitiveSearch, CasePreservedNames, UnicodeOnDisk, AlwaysUseDoubleBuffering,
  // PassQueryDirectoryFileName, UmFileContextIsUserContext2; not SupportsPosixUnlinkRename (bit 29).
  EXPECT_EQ(params.Flags, 0x00000007u | 0x00003000u | 0x00010000u);
  EXPECT_EQ(std::u16string_view(params.FileSystemName), u"VARLIN");
  EXPECT_EQ(params.Prefix[0], 0);
  EXPECT_EQ(params.SectorSize, 0u);
  EXPECT_EQ(params.IrpTimeout, 0u);
}

// With the largest lifetime WinFsp caches file data, and a program's writes arrive as paging writes
// after its handle's Cleanup unless WinFsp flushes them first (FlushAndPurgeOnCleanup, bit 14).
TEST(VolumeParams, CachedDataAreFlushedBeforeCleanupWhenInformationNeverExpires) {
  constexpr std::uint32_t kFlushAndPurgeOnCleanup = 0x00004000;
  constexpr std::uint32_t kSupportsPosixUnlinkRename = 0x20000000;
  const struct {
    std::uint32_t cache_ttl_seconds;
    bool flushed;
  } cases[] = {{0, false}, {30, false}, {4'294'967, false}, {4'294'968, true}, {0xFFFFFFFF, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cache_ttl_seconds);
    const winfsp::FSP_FSCTL_VOLUME_PARAMS params = mount_volume_params(1, c.cache_ttl_seconds);
    EXPECT_EQ((params.Flags & kFlushAndPurgeOnCleanup) != 0, c.flushed);
    EXPECT_EQ(params.Flags & kSupportsPosixUnlinkRename, 0u);
    EXPECT_EQ(params.Flags & ~kFlushAndPurgeOnCleanup, mount_volume_params(1, 30).Flags);
  }
}

TEST(VolumeParams, DebugLogMaskFollowsVerbose) {
  EXPECT_EQ(debug_log_mask(true), 0xFFFFFFFFu);
  EXPECT_EQ(debug_log_mask(false), 0u);
}

}  // namespace
}  // namespace varlin
