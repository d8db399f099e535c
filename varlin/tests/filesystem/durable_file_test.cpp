// New files written whole, or not at all. That their bytes reach the disk before the call returns is
// beyond what a test can see without crashing the computer.
#include "filesystem/durable_file.hpp"

#include <gmock/gmock.h>

#include "temporary_folder.hpp"

namespace varlin::filesystem {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;
using testing_support::TemporaryFolder;

TEST(WriteNewFileDurably, WritesExactlyTheBytes) {
  const TemporaryFolder folder;
  using namespace std::string_view_literals;
  ASSERT_TRUE(write_new_file_durably(folder.path() / "text", "PGM\r\n\0\xFF\n"sv));
  ASSERT_TRUE(write_new_file_durably(folder.path() / "empty", ""));
  EXPECT_THAT(folder.files(), ElementsAre(Pair("empty", ""), Pair("text", "PGM\r\n\0\xFF\n"sv)));
}

TEST(WriteNewFileDurably, LeavesATakenNameAsItWas) {
  const TemporaryFolder folder;
  ASSERT_TRUE(write_new_file_durably(folder.path() / "text", "first"));
  EXPECT_EQ(write_new_file_durably(folder.path() / "text", "second").error(), std::errc::file_exists);
  EXPECT_THAT(folder.files(), ElementsAre(Pair("text", "first")));
}

TEST(WriteNewFileDurably, SaysWhenTheFolderIsMissing) {
  const TemporaryFolder folder;
  EXPECT_EQ(write_new_file_durably(folder.path() / "gone" / "text", "PGM").error(),
            std::errc::no_such_file_or_directory);
  EXPECT_THAT(folder.files(), IsEmpty());
}

}  // namespace
}  // namespace varlin::filesystem
