// Copies of members' texts on this computer: where they go, that none replaces another, and what the
// user is told of those left from earlier mounts.
#include "filesystem/recovery_copies.hpp"

#include <gmock/gmock.h>

#include <fstream>
#include <string>

#include "copy_name.hpp"
#include "temporary_folder.hpp"

namespace varlin::filesystem {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::StartsWith;
using ::testing::UnorderedElementsAre;
using testing_support::TemporaryFolder;

fs::path utf8_path(std::string_view text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

TEST(RecoveryFolder, IsTheHostsFolderUnderTheUsersLocalApplicationData) {
  const struct {
    std::string_view host;
    std::string_view folder;
  } cases[] = {
      {"SYSTEM1", "SYSTEM1"},
      {"fe80::1%eth0", "fe80__1%eth0"},
      {"a/b\\c<d>e|f?g*h\"i", "a_b_c_d_e_f_g_h_i"},
      {"..", "_"},
      {"", "_"},
  };
  const std::string base = "C:\\Users\\\xC3\x85se\\AppData\\Local";
  for (const auto& c : cases)
    EXPECT_EQ(recovery_folder(base, c.host), utf8_path(base) / "varlin" / "unsaved" / utf8_path(c.folder))
        << c.host;
}

TEST(RecoveryCopies, KeepsEachTextInANewFileAtItsPathOnTheDrive) {
  const TemporaryFolder folder;
  const RecoveryCopies copies(folder.path());
  const struct {
    std::string_view drive_path;
    std::string_view text;
  } kept[] = {
      {"QSYS.LIB/MYLIB.LIB/QCLSRC/HELLO.clp", "PGM\nENDPGM\n"},
      {"QSYS.LIB/MYLIB.LIB/QCLSRC/HELLO.clp", "PGM\n"},
      {"/home/\xC3\x85se/\xE2\x82\xAC notes", ""},
  };
  for (const auto& k : kept) {
    const auto copy = copies.keep(k.drive_path, k.text);
    ASSERT_TRUE(copy) << copy.error().text();
    EXPECT_TRUE(fs::exists(*copy));
  }
  // Two copies made within one microsecond tell themselves apart by "-2".
  const auto hello = IsCopyName(R"(QSYS\.LIB/MYLIB\.LIB/QCLSRC/HELLO)", R"((-2)?\.clp)");
  EXPECT_THAT(folder.files(),
              UnorderedElementsAre(Pair(hello, "PGM\nENDPGM\n"), Pair(hello, "PGM\n"),
                                   Pair(StartsWith("home/\xC3\x85se/\xE2\x82\xAC notes."), "")))
      << "no copy replaces another";
  EXPECT_EQ(copies.count(), 3u);
}

TEST(RecoveryCopies, ACopyThatCannotBeWrittenIsAnErrorNamingIt) {
  const TemporaryFolder folder;
  std::ofstream(folder.path() / "QSYS.LIB") << "a file where a folder must go";
  const RecoveryCopies copies(folder.path());
  const auto copy = copies.keep("QSYS.LIB/MYLIB.LIB/QCLSRC/HELLO.clp", "PGM\n");
  ASSERT_FALSE(copy);
  EXPECT_THAT(copy.error().text(),
              StartsWith("could not keep a copy of the text of QSYS.LIB/MYLIB.LIB/QCLSRC/HELLO.clp in "));
  EXPECT_THAT(folder.files(), ElementsAre(Pair("QSYS.LIB", "a file where a folder must go")));
}

TEST(RecoveryCopies, ADiscardedCopyGoesWithTheFoldersItLeavesEmpty) {
  const TemporaryFolder folder;
  const RecoveryCopies copies(folder.path() / "SYSTEM1");
  const auto deep = copies.keep("QSYS.LIB/A.LIB/QCLSRC/ONE.clp", "1");
  const auto beside = copies.keep("QSYS.LIB/TWO.txt", "2");
  ASSERT_TRUE(deep && beside);
  copies.discard(*deep);
  EXPECT_THAT(folder.files(), ElementsAre(Pair(IsCopyName("SYSTEM1/QSYS\\.LIB/TWO", "\\.txt"), "2")));
  EXPECT_FALSE(fs::exists(folder.path() / "SYSTEM1" / "QSYS.LIB" / "A.LIB"));
  copies.discard(*beside);
  EXPECT_THAT(folder.files(), IsEmpty());
  EXPECT_TRUE(fs::is_directory(copies.folder())) << "the host's folder stays";
  EXPECT_TRUE(fs::is_empty(copies.folder()));
  copies.discard(*beside);  // already gone: only logged
}

TEST(EarlierCopiesLine, SaysHowManyTextsAreKeptAndWhere) {
  const TemporaryFolder folder;
  const RecoveryCopies absent(folder.path() / "SYSTEM1");
  EXPECT_EQ(earlier_copies_line(absent), "");
  fs::create_directories(absent.folder());
  EXPECT_EQ(earlier_copies_line(absent), "") << "an empty folder";

  const std::string shown = utf8_of(absent.folder());
  ASSERT_TRUE(absent.keep("QSYS.LIB/A.LIB/QCLSRC/ONE.clp", "1"));
  EXPECT_EQ(earlier_copies_line(absent), "1 unsaved text from an earlier mount is kept in " + shown + "\n");
  ASSERT_TRUE(absent.keep("home/two.txt", "2"));
  EXPECT_EQ(earlier_copies_line(absent), "2 unsaved texts from earlier mounts are kept in " + shown + "\n");
}

}  // namespace
}  // namespace varlin::filesystem
