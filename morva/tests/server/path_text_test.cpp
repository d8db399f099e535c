#include "morva/server/path_text.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace morva::server {
namespace {

TEST(PathComponents, SplitsOnEitherSeparator) {
  EXPECT_EQ(path_components(R"(\QSYS.LIB//MYLIB.LIB\x)"),
            (std::vector<std::string_view>{"QSYS.LIB", "MYLIB.LIB", "x"}));
  EXPECT_TRUE(path_components("//").empty());
  EXPECT_TRUE(path_components("").empty());
}

TEST(AsciiCase, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(ascii_upper("qsys.lib/\xC3\xA6x"), "QSYS.LIB/\xC3\xA6X");
  EXPECT_EQ(ascii_lower("QSYS.LIB/\xC3\x86X"), "qsys.lib/\xC3\x86x");
  EXPECT_TRUE(equals_ignore_ascii_case("MyLib.Lib", "MYLIB.LIB"));
  EXPECT_FALSE(equals_ignore_ascii_case("\xC3\x86", "\xC3\xA6")) << "Æ and æ differ byte-wise";
  EXPECT_FALSE(equals_ignore_ascii_case("LIB", "LIBX"));
  EXPECT_TRUE(ends_with_ignore_ascii_case("mylib.lib", kLibrarySuffix));
  EXPECT_FALSE(ends_with_ignore_ascii_case("LIB", kLibrarySuffix));
  EXPECT_TRUE(is_qsys_root("qsys.LIB"));
  EXPECT_FALSE(is_qsys_root("QSYS.LIBX"));
  EXPECT_TRUE(is_in_qsys(R"(\\qsys.lib\MYLIB)"));
  EXPECT_TRUE(is_in_qsys("/QSYS.LIB"));
  EXPECT_FALSE(is_in_qsys("/home/QSYS.LIB"));
  EXPECT_FALSE(is_in_qsys("/"));
}

}  // namespace
}  // namespace morva::server
