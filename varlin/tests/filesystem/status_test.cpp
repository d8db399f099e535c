#include "filesystem/status.hpp"

#include <gtest/gtest.h>

namespace varlin::filesystem {
namespace {

TEST(MapIfsError, FirstPhraseOfTheTableWins) {
  const std::pair<const char*, NtStatus> cases[] = {
      {"IBM i IFS: file not found: /a", winfsp::kStatusObjectNameNotFound},
      {"path not found, then file not found", winfsp::kStatusObjectNameNotFound},
      {"path not found", winfsp::kStatusObjectPathNotFound},
      {"path already exists", winfsp::kStatusObjectNameCollision},
      {"request denied", winfsp::kStatusAccessDenied},
      {"access denied", winfsp::kStatusAccessDenied},
      {"directory is not empty", winfsp::kStatusDirectoryNotEmpty},
      {"sharing violation", winfsp::kStatusSharingViolation},
      {"file is in use", winfsp::kStatusSharingViolation},
      {"Access denied", winfsp::kStatusUnexpectedNetworkError},
      {"early eof", winfsp::kStatusUnexpectedNetworkError},
  };
  for (const auto& [text, status] : cases)
    EXPECT_EQ(map_ifs_error(morva::Error::message(text)), status) << text;
}

TEST(RejectSourceMemberPath, RefusesMembersInEitherForm) {
  EXPECT_EQ(reject_source_member_path("/QSYS.LIB/L.LIB/F.FILE/M.MBR"),
            std::unexpected(winfsp::kStatusAccessDenied));
  EXPECT_EQ(reject_source_member_path("/qsys.lib/l/f/m.rpgle"), std::unexpected(winfsp::kStatusAccessDenied));
  EXPECT_TRUE(reject_source_member_path("/QSYS.LIB/L.LIB/F.FILE"));
  EXPECT_TRUE(reject_source_member_path("/QSYS.LIB/L.LIB"));
  EXPECT_TRUE(reject_source_member_path("/home/a.mbr"));
}

}  // namespace
}  // namespace varlin::filesystem
