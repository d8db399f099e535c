#include "shared/spellings.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "shared/spelling_map.hpp"

namespace varlin::filesystem {
namespace {

TEST(Spellings, NameOneObjectHoweverTheMountSpellsIt) {
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
      {"/home/a", R"(\home\a)", false},
      {"/QSYSX.LIB/a", "/QSYSX.LIB/a.LIB", false},
      // The root file system ignores case, of every letter that has one.
      {"/home/a", "/home/A", true},
      {"/QSYSX.LIB/a", "/qsysx.lib/A", true},
      {"/home/\xC3\x85se/\xCF\x82.txt", "/HOME/\xC3\xA5SE/\xCE\xA3.TXT", true},  // Åse/ς and åSE/Σ
      {"/home/\xE2\x84\xAA", "/home/k", true},                                   // Kelvin sign
      {"/home/stra\xC3\x9F"
       "e",
       "/home/STRASSE", false},  // simple folding: one character stays one
      // In /QOpenSys case counts below its own name.
      {"/QOpenSys/a", "/QOpenSys/A", false},
      {"/QOpenSys/a", "/qopensys/a", true},
      {"/QOpenSys", "/QOPENSYS", true},
      {"/QOpenSysX/a", "/qopensysx/A", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " and " + c.key);
    EXPECT_EQ(object_key(c.path) == object_key(c.key), c.same);
  }
}

std::set<std::string> stored(SpellingMap<int>& map, const std::vector<std::string>& paths) {
  std::set<std::string> found;
  for (const auto& path : paths)
    if (map.find(path)) found.insert(path);
  return found;
}

TEST(SpellingMap, FindsASpellingAloneAndDropsAnObjectUnderEverySpelling) {
  const std::vector<std::string> paths = {"/QSYS.LIB/DEVLIB/QCLSRC/HELLO.clp",
                                          "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR",
                                          "/QSYS.LIB/DEVLIB/QCLSRC/EMPTY.clp",
                                          "/home/a",
                                          "/HOME/A",
                                          "/home/a/b",
                                          "/QOpenSys/a",
                                          "/QOpenSys/A"};
  SpellingMap<int> map;
  for (std::size_t i = 0; i < paths.size(); ++i) map.insert_or_assign(paths[i], static_cast<int>(i));
  EXPECT_EQ(map.find("/Home/a"), nullptr) << "a spelling that was not stored";
  ASSERT_NE(map.find("/HOME/A"), nullptr);
  EXPECT_EQ(*map.find("/HOME/A"), 4);
  map.insert_or_assign("/HOME/A", 40);
  EXPECT_EQ(*map.find("/HOME/A"), 40);
  EXPECT_EQ(*map.find("/home/a"), 3);

  map.erase_spelling("/home/a");
  EXPECT_EQ(stored(map, {"/home/a", "/HOME/A"}), (std::set<std::string>{"/HOME/A"}));

  map.erase_object("/qsys.lib/devlib/qclsrc/hello.clp");
  map.erase_object("/Home/a");
  map.erase_object("/QOpenSys/a");
  EXPECT_EQ(stored(map, paths),
            (std::set<std::string>{"/QSYS.LIB/DEVLIB/QCLSRC/EMPTY.clp", "/home/a/b", "/QOpenSys/A"}));
  map.erase_at_or_below("/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE");
  EXPECT_EQ(stored(map, paths), (std::set<std::string>{"/home/a/b", "/QOpenSys/A"}));
}

TEST(SpellingMap, DropsWhatLiesBelowAnObjectUnderEverySpellingOfIt) {
  struct Case {
    std::string top;
    std::vector<std::string> dropped;
    std::vector<std::string> kept;
  };
  const Case cases[] = {
      {"/QSYS.LIB/DEVLIB/QCLSRC",
       {"/qsys.lib/devlib.lib/qclsrc.file/hello.mbr", "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE"},
       {"/QSYS.LIB/DEVLIB/QCLSRCX/HELLO.clp", "/QSYS.LIB/DEVLIB"}},
      {"/home/a", {"/home/a", "/home/a/b", "/HOME/A/b"}, {"/home/ab", "/home"}},
      {"/QOpenSys/a", {"/QOpenSys/a/b", "/qopensys/a"}, {"/QOpenSys/A/b", "/QOpenSys/ab"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.top);
    SpellingMap<int> map;
    for (const auto& path : c.dropped) map.insert_or_assign(path, 1);
    for (const auto& path : c.kept) map.insert_or_assign(path, 1);
    map.erase_at_or_below(c.top);
    EXPECT_EQ(stored(map, c.dropped), std::set<std::string>());
    EXPECT_EQ(stored(map, c.kept), std::set<std::string>(c.kept.begin(), c.kept.end()));
  }
}

}  // namespace
}  // namespace varlin::filesystem
