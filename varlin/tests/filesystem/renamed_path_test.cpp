#include "filesystem/renamed_path.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace varlin::filesystem {
namespace {

TEST(RenamedPath, MovesEverySpellingOfTheObjectAndWhatLiesBelowIt) {
  struct Case {
    std::string path;
    std::string from;
    std::string to;
    std::optional<std::string> moved;
  };
  const Case cases[] = {
      {"/a", "/a", "/b", "/b"},
      {"/a/x/y", "/a", "/c/d", "/c/d/x/y"},
      {"/ab", "/a", "/b", std::nullopt},
      {"/b", "/a", "/c", std::nullopt},
      {"/a/x", "/a", "/", "/x"},
      {"/a", "/a", "/", "/"},
      {"/", "/a", "/b", std::nullopt},
      // The path keeps its own spelling below the renamed object.
      {"/home/PROJ/Src/a.txt", "/home/proj", "/home/work", "/home/work/Src/a.txt"},
      {"/HOME/\xE2\x84\xAA/a.txt", "/home/k", "/home/m", "/home/m/a.txt"},  // Kelvin sign: 3 bytes for 1
      {"/QSYS.LIB/OPSLIB.LIB/QCLSRC.FILE/HELLO.MBR", "/QSYS.LIB/OPSLIB/QCLSRC", "/QSYS.LIB/OPSLIB/QNEWSRC",
       "/QSYS.LIB/OPSLIB/QNEWSRC/HELLO.MBR"},
      {"/QSYS.LIB/OPSLIB/QCLSRC/HELLO.clp", "/qsys.lib/opslib.lib/qclsrc.file", "/QSYS.LIB/OPSLIB/QNEWSRC",
       "/QSYS.LIB/OPSLIB/QNEWSRC/HELLO.clp"},
      // In /QOpenSys case counts.
      {"/QOpenSys/PROJ/a.txt", "/QOpenSys/proj", "/QOpenSys/work", std::nullopt},
      {"/qopensys/proj/a.txt", "/QOpenSys/proj", "/QOpenSys/work", "/QOpenSys/work/a.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " when " + c.from + " becomes " + c.to);
    EXPECT_EQ(renamed_path(c.path, c.from, c.to), c.moved);
  }
}

}  // namespace
}  // namespace varlin::filesystem
