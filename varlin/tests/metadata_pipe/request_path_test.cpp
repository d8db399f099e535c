#include "metadata_pipe/request_path.hpp"

#include <gtest/gtest.h>

namespace varlin::metadata_pipe {
namespace {

constexpr const char* kOutside = "metadata path must be relative to the mounted volume";
constexpr const char* kNoFile = "metadata path must identify a file";

struct ResolveCase {
  const char* root;
  const char* path;
  std::expected<std::string, std::string> expected;
};

TEST(ResolveRequestPath, JoinsOrRefuses) {
  const ResolveCase cases[] = {
      {"/home/user", R"(docs\a.txt)", "/home/user/docs/a.txt"},
      {"/", R"(\QSYS.LIB\MYLIB.LIB\QCLSRC.FILE\HELLO.MBR\)", "/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE/HELLO.MBR"},
      {"/home/user//", "a", "/home/user/a"},
      {"/home", "./x//y/.", "/home/./x//y/."},
      {"/home", "Mixed/Case", "/home/Mixed/Case"},
      {"/home", "..", std::unexpected(kOutside)},
      {"/home", R"(a\..\b)", std::unexpected(kOutside)},
      {"/home", "a/b/..", std::unexpected(kOutside)},
      {"/home", "C:/x", std::unexpected(kOutside)},
      {"/home", "a:b", std::unexpected(kOutside)},
      {"/home", "...", "/home/..."},
      {"/home", "", std::unexpected(kNoFile)},
      {"/home", R"(/\/)", std::unexpected(kNoFile)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(resolve_request_path(c.root, c.path), c.expected) << c.root << " " << c.path;
}

struct ObjectCase {
  const char* path;
  std::optional<QsysObjectPath> expected;
};

TEST(ParseQsysObjectPath, TypedObjectsOnly) {
  const ObjectCase cases[] = {
      {"/QSYS.LIB/MYLIB.LIB/HELLO.PGM", QsysObjectPath{"MYLIB", "HELLO", "PGM"}},
      {"/qsys.lib/mylib/hello.clle.pgm", QsysObjectPath{"mylib", "hello", "PGM"}},
      {"/QSYS.LIB/MYLIB.LIB/QCLSRC.FILE", QsysObjectPath{"MYLIB", "QCLSRC", "FILE"}},
      {R"(\QSYS.LIB\\.LIB\.x)", QsysObjectPath{"", "", "X"}},
      {"/QSYS.LIB/MYLIB.LIB/X.MBR", std::nullopt},
      {"/QSYS.LIB/MYLIB.LIB/OTHER.lib", std::nullopt},
      {"/QSYS.LIB/MYLIB.LIB", std::nullopt},
      {"/QSYS.LIB/MYLIB.LIB/HELLO", std::nullopt},
      {"/QSYS.LIB/MYLIB.LIB/A.B.C.D", std::nullopt},
      {"/QSYS.LIB/MYLIB.LIB/F.FILE/M.MBR", std::nullopt},
      {"/home/MYLIB.LIB/HELLO.PGM", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_qsys_object_path(c.path), c.expected) << c.path;
}

TEST(FirstOverlongName, CountsCharactersNotBytes) {
  EXPECT_EQ(first_overlong_name({"ABCDEFGHIJ",
                                 "\xC3\x86\xC3\x98"
                                 "ABCDEFGH"}),
            std::nullopt);
  EXPECT_EQ(first_overlong_name({"LIB", "ABCDEFGHIJK", "LONGERNAMES1"}), "ABCDEFGHIJK");
}

}  // namespace
}  // namespace varlin::metadata_pipe
