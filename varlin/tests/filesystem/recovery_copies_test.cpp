// Copies of members' texts on this computer: where they go, that none replaces another, and what the
// user is told of those left from earlier mounts.
#include "filesystem/recovery_copies.hpp"

#include <fmt/format.h>
#include <gmock/gmock.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

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

// A path as TemporaryFolder::files() names it.
std::string generic_utf8(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

TEST(RecoveryFolder, IsTheHostsFolderUnderTheUsersLocalApplicationData) {
  const struct {
    std::string_view host;
    std::string_view folder;
  } cases[] = {
      {"SYSTEM1", "SYSTEM1"},
      {"fe80::1%eth0", "fe80%3A%3A1%eth0"},
      {"a/b\\c<d>e|f?g*h\"i", "a%2Fb%5Cc%3Cd%3Ee%7Cf%3Fg%2Ah%22i"},
      {"con", "%63on"},
      {"system1.", "system1%2E"},
      {"..", ".%2E"},
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

// A copy of the member's text kept for the host: a file listed where keep() said it is, below the
// host's folder, holding the text (a device holds nothing, a name that Windows cuts short is not found).
void expect_readable_copy(std::string_view host, std::string_view drive_path) {
  constexpr std::string_view kText = "PGM\nENDPGM\n";
  const TemporaryFolder local_app_data;
  const RecoveryCopies copies(recovery_folder(utf8_of(local_app_data.path()), host));
  const auto copy = copies.keep(drive_path, kText);
  ASSERT_TRUE(copy) << copy.error().text();
  EXPECT_TRUE(fs::is_regular_file(*copy));
  const std::string listed = generic_utf8(copy->lexically_relative(local_app_data.path()));
  EXPECT_THAT(listed,
              StartsWith(generic_utf8(copies.folder().lexically_relative(local_app_data.path())) + "/"));
  EXPECT_THAT(local_app_data.files(), ElementsAre(Pair(listed, kText)));
  EXPECT_EQ(copies.count(), 1u);
}

// Names that the IBM i takes as ordinary but that Windows keeps for a device, cannot hold, or cuts short,
// as the host, a library, a source file or a member.
TEST(RecoveryCopies, EveryNameGivesAReadableFileBelowTheHostsFolder) {
  const std::string_view names[] = {
      "CON",     "prn",       "Aux",     "NUL", "COM1", "com9", "LPT1", "Lpt9", "CON.LIB",
      "nul.MBR", "COM1.FILE", "aux.x.y", "A:B", "Q:",   "END.", "END ", "..",   ".",
  };
  for (const std::string_view name : names) {
    for (std::size_t position = 0; position < 4; ++position) {
      std::string pieces[] = {"SYSTEM1", "MYLIB.LIB", "QCLSRC.FILE", "HELLO.MBR"};
      pieces[position] = name;
      const std::string drive_path = fmt::format("QSYS.LIB/{}/{}/{}", pieces[1], pieces[2], pieces[3]);
      SCOPED_TRACE(fmt::format("host {}, {}", pieces[0], drive_path));
      expect_readable_copy(pieces[0], drive_path);
    }
  }
}

// Saves of two members of one source file, by one mount or by two mounts of one host, keep and discard
// their copies in one folder at the same time; a discard takes away the folders it leaves empty.
TEST(RecoveryCopies, KeepsAndDiscardsAtOnceInOneFolderAllSucceed) {
  constexpr int kRounds = 100;
  const TemporaryFolder folder;
  const RecoveryCopies one_mount(folder.path());
  const RecoveryCopies other_mount(folder.path());
  const struct {
    std::string_view what;
    const RecoveryCopies& first;
    const RecoveryCopies& second;
  } cases[] = {
      {"one mount", one_mount, one_mount},
      {"two mounts", one_mount, other_mount},
  };
  for (const auto& c : cases) {
    std::atomic<int> refused = 0;
    const auto save = [&refused](const RecoveryCopies& copies, std::string_view drive_path) {
      for (int round = 0; round < kRounds; ++round) {
        if (auto copy = copies.keep(drive_path, "PGM\n"))
          copies.discard(*copy);
        else
          ++refused;
      }
    };
    std::thread first(save, std::cref(c.first), "QSYS.LIB/MYLIB.LIB/QCLSRC.FILE/ONE.MBR");
    std::thread second(save, std::cref(c.second), "QSYS.LIB/MYLIB.LIB/QCLSRC.FILE/TWO.MBR");
    first.join();
    second.join();
    EXPECT_EQ(refused, 0) << c.what;
    EXPECT_THAT(folder.files(), IsEmpty()) << c.what;
  }
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
