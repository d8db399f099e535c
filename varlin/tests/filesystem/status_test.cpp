#include "filesystem/status.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "morva/ifs/return_code.hpp"

namespace varlin::filesystem {
namespace {

constexpr const char* kPhrases[] = {"file not found", "path not found",   "path already exists",
                                    "access denied",  "request denied",   "directory is not empty",
                                    "file is in use", "sharing violation"};

// The file server's return codes that have a status of their own; every other code is an unexpected
// network error.
const std::map<std::uint16_t, NtStatus> kCodeStatuses = {
    {1, winfsp::kStatusSharingViolation},   {2, winfsp::kStatusObjectNameNotFound},
    {3, winfsp::kStatusObjectPathNotFound}, {4, winfsp::kStatusObjectNameCollision},
    {5, winfsp::kStatusAccessDenied},       {9, winfsp::kStatusDirectoryNotEmpty},
    {13, winfsp::kStatusAccessDenied},      {32, winfsp::kStatusSharingViolation},
};

TEST(MapIfsError, MapsAReturnCodeWhateverItsPathHolds) {
  for (std::uint16_t code = 0; code <= 40; ++code) {
    const auto known = kCodeStatuses.find(code);
    const NtStatus expected =
        known == kCodeStatuses.end() ? winfsp::kStatusUnexpectedNetworkError : known->second;
    EXPECT_EQ(map_ifs_error(morva::ifs::return_code_error(code, "/home/demo/a")), expected) << code;
    for (const std::string phrase : kPhrases) {
      for (const std::string& path : {"/home/" + phrase + "/a", "/home/demo/" + phrase, "\\" + phrase})
        EXPECT_EQ(map_ifs_error(morva::ifs::return_code_error(code, path)), expected) << code << " " << path;
    }
  }
}

TEST(MapIfsError, WithoutAReturnCodeLooksForPhrasesOnlyInTheMessagesOwnWords) {
  for (const std::string phrase : kPhrases) {
    for (const std::string& text : {"path returned no file-service attributes: /home/" + phrase,
                                    "file-service returned 3 of 4 requested bytes for \\home\\" + phrase,
                                    "unsupported metadata method \"" + phrase + "\""})
      EXPECT_EQ(map_ifs_error(morva::Error::message(text)), winfsp::kStatusUnexpectedNetworkError) << text;
  }
  // A return-code message whose code was lost still maps by its phrase, not by its path.
  EXPECT_EQ(map_ifs_error(morva::Error::message("directory is not empty for /home/access denied")),
            winfsp::kStatusDirectoryNotEmpty);
}

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
