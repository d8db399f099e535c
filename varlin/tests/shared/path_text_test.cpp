#include "shared/path_text.hpp"

#include <gtest/gtest.h>

namespace varlin::filesystem {
namespace {

TEST(ParentPath, TextBeforeTheLastSlash) {
  EXPECT_EQ(parent_path("/a/b"), "/a");
  EXPECT_EQ(parent_path("/a"), "/");
  EXPECT_EQ(parent_path("/"), "/");
  EXPECT_EQ(parent_path("a"), "/");
}

TEST(StripPrefixIgnoreAsciiCase, FoldsAsciiOnlyAndRespectsCharacters) {
  EXPECT_EQ(strip_prefix_ignore_ascii_case("ABCdef", "abc"), "def");
  EXPECT_EQ(strip_prefix_ignore_ascii_case("ABCdef", "abcdefg"), std::nullopt);
  EXPECT_EQ(strip_prefix_ignore_ascii_case("ABCdef", "abcDEF"), "");
  EXPECT_EQ(strip_prefix_ignore_ascii_case("\xC3\x89x", "\xC3\xA9"), std::nullopt);
  EXPECT_EQ(strip_prefix_ignore_ascii_case("\xC3\x89x", "\xC3"), std::nullopt) << "ends inside a character";
}

TEST(AtOrBelow, ThePathAndWhatLiesUnderIt) {
  EXPECT_TRUE(is_at_or_below("/a/b", "/a/b"));
  EXPECT_TRUE(is_at_or_below("/a/b/c", "/a/b"));
  EXPECT_FALSE(is_at_or_below("/a/bc", "/a/b"));
  EXPECT_FALSE(is_at_or_below("/a", "/a/b"));
}

TEST(LibraryName, WithoutTheLibrarySuffix) {
  EXPECT_EQ(library_name("mylib.lib"), "mylib");
  EXPECT_EQ(library_name(".LIB"), "");
  EXPECT_EQ(library_name("MYLIB"), "MYLIB");
}

}  // namespace
}  // namespace varlin::filesystem
