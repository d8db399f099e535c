#include "filesystem/spellings.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <unordered_map>

#include "filesystem/keyed_hash.hpp"

namespace varlin::filesystem {
namespace {

TEST(Spellings, NameOneQsysObjectHoweverTheMountSpellsIt) {
  struct Case {
    std::string path;
    std::string key;
    bool same;
  };
  const Case cases[] = {
      {"/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR", "/QSYS.LIB/DEVLIB/QCLSRC/HELLO.clp", true},
      {"/QSYS.LIB/DEVLIB/QCLSRC/HELLO.clp", "/qsys.lib/devlib.lib/qclsrc.file/hello.mbr", true},
      {"/QSYS.LIB/DEVLIB/QCLSRC/HELLO.clp", R"(\QSYS.LIB\DEVLIB\QCLSRC\HELLO)", true},
      {"/QSYS.LIB/L/F/\xC3\x86"
       "BLE.clp",
       "/QSYS.LIB/L.LIB/F.FILE/#BLE.MBR", true},
      {"/QSYS.LIB/DEVLIB/QCLSRC", "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE", true},
      {"/QSYS.LIB/DEVLIB", "/qsys.lib/devlib.lib", true},
      {"/QSYS.LIB/DEVLIB/HELLO.clp.pgm", "/QSYS.LIB/DEVLIB.LIB/HELLO.PGM", true},
      {"/QSYS.LIB/DEVLIB/QCLSRC/HELLO.clp", "/QSYS.LIB/DEVLIB/QCLSRC/HELLO2.clp", false},
      {"/QSYS.LIB/DEVLIB/QCLSRC/HELLO.clp", "/QSYS.LIB/DEVLIB/QTXTSRC/HELLO.clp", false},
      {"/QSYS.LIB/DEVLIB/HELLO.clp.pgm", "/QSYS.LIB/DEVLIB/HELLO.clp.dtaara", false},
      {"/QSYS.LIB/DEVLIB/HELLO.clp.pgm", "/home/QSYS.LIB/DEVLIB/HELLO.clp.pgm", false},
      {"/home/a", "/home/a", true},
      {"/home/a", "/home/A", false},
      {"/home/a", R"(\home\a)", false},
      {"/QSYSX.LIB/a", "/qsysx.lib/a", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " and " + c.key);
    EXPECT_EQ(Spellings(c.path).names(c.key), c.same);
    EXPECT_EQ(Spellings(c.key).names(c.path), c.same);
  }
}

TEST(Spellings, ReachBelowAnObjectUnderEverySpellingOfIt) {
  const Spellings source_file("/QSYS.LIB/DEVLIB/QCLSRC");
  EXPECT_TRUE(source_file.names_at_or_below("/qsys.lib/devlib.lib/qclsrc.file/hello.mbr"));
  EXPECT_TRUE(source_file.names_at_or_below("/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE"));
  EXPECT_FALSE(source_file.names_at_or_below("/QSYS.LIB/DEVLIB/QCLSRCX/HELLO.clp"));
  EXPECT_FALSE(source_file.names_at_or_below("/QSYS.LIB/DEVLIB"));
  const Spellings home("/home/a");
  EXPECT_TRUE(home.names_at_or_below("/home/a/b"));
  EXPECT_FALSE(home.names_at_or_below("/home/ab"));
  EXPECT_FALSE(home.names_at_or_below("/home/A/b"));
}

using PathMap = std::unordered_map<std::string, int, RandomlyKeyedHash, std::equal_to<>>;

std::set<std::string> keys_of(const PathMap& map) {
  std::set<std::string> keys;
  for (const auto& [key, value] : map) keys.insert(key);
  return keys;
}

TEST(Spellings, EraseFromAMapEveryKeyThatNamesTheObject) {
  PathMap map = {{"/QSYS.LIB/DEVLIB/QCLSRC/HELLO.clp", 1},
                 {"/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR", 2},
                 {"/QSYS.LIB/DEVLIB/QCLSRC/EMPTY.clp", 3},
                 {"/home/a", 4},
                 {"/home/a/b", 5}};
  erase_spellings(map, Spellings("/qsys.lib/devlib/qclsrc/hello.clp"));
  erase_spellings(map, Spellings("/home/a"));
  EXPECT_EQ(keys_of(map), (std::set<std::string>{"/QSYS.LIB/DEVLIB/QCLSRC/EMPTY.clp", "/home/a/b"}));
  erase_spellings_at_or_below(map, Spellings("/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE"));
  EXPECT_EQ(keys_of(map), (std::set<std::string>{"/home/a/b"}));
}

}  // namespace
}  // namespace varlin::filesystem
