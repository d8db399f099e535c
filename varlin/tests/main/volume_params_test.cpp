#include "main/volume_params.hpp"

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
  // PassQueryDirectoryFileName, UmFileContextIsUserContext2, SupportsPosixUnlinkRename.
  EXPECT_EQ(params.Flags, 0x00000007u | 0x00003000u | 0x00010000u | 0x20000000u);
  EXPECT_EQ(std::u16string_view(params.FileSystemName), u"VARLIN");
  EXPECT_EQ(params.Prefix[0], 0);
  EXPECT_EQ(params.SectorSize, 0u);
  EXPECT_EQ(params.IrpTimeout, 0u);
}

TEST(VolumeParams, DebugLogMaskFollowsVerbose) {
  EXPECT_EQ(debug_log_mask(true), 0xFFFFFFFFu);
  EXPECT_EQ(debug_log_mask(false), 0u);
}

}  // namespace
}  // namespace varlin
