#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "pipe_client/ibmi_type_extensions.hpp"
#include "pipe_client/relative_request_path.hpp"
#include "pipe_client/windows_path.hpp"

namespace tarvik {
namespace {

std::string describe(std::string_view path) {
  std::string out;
  for (const auto& component : split_windows_path(path)) {
    switch (component.kind) {
      case PathComponentKind::prefix: out += "prefix(" + std::string(component.text) + ") "; break;
      case PathComponentKind::root: out += "root "; break;
      case PathComponentKind::parent: out += ".. "; break;
      case PathComponentKind::normal: out += std::string(component.text) + " "; break;
    }
  }
  return out;
}

TEST(SplitWindowsPath, ReadsPrefixesRootsAndNames) {
  const std::pair<const char*, const char*> cases[] = {
      {R"(Z:\a\b.rpgle)", "prefix(Z:) root a b.rpgle "},
      {"z:/a//./b.rpgle/", "prefix(z:) root a b.rpgle "},
      {"C:rel\\x", "prefix(C:) rel x "},
      {R"(\\server\share\dir\x.cl)", R"(prefix(\\server\share) root dir x.cl )"},
      {"//server/share", "prefix(//server/share) root "},
      {R"(\\?\Z:\lib\x)", R"(prefix(\\?\Z:) root lib x )"},
      {R"(\\?\UNC\server\share\x)", R"(prefix(\\?\UNC\server\share) root x )"},
      {R"(\\.\pipe\name)", R"(prefix(\\.\pipe) root name )"},
      {R"(\\?)", R"(prefix(\\?) root )"},
      {R"(\x\..\y)", "root x .. y "},
      {"./a", "a "},
      {"1:\\x", "1: x "},
      {"", ""},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(describe(path), expected) << path;
}

TEST(RelativeRequestPath, KeepsNamesBelowTheRoot) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {R"(Z:\a\b.rpgle)", R"(a\b.rpgle)"},
      {"z:/a//./b.rpgle", R"(a\b.rpgle)"},
      {R"(Z:\Lib\PGM1.rpgle)", R"(Lib\PGM1.rpgle)"},
      {R"(\\server\share\dir\x.cl)", R"(dir\x.cl)"},
      {R"(Z:\x\..\b.rpgle)", std::nullopt},
      {R"(Z:\)", std::nullopt},
      {"Z:", std::nullopt},
      {R"(Z:\...\x)", R"(...\x)"},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(relative_request_path(path), expected) << path;
}

TEST(RelativeRequestPathBelow, MatchesTheRootComponentByComponent) {
  struct Case {
    const char* path;
    const char* root;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {R"(\\?\T:\lib\x.rpgle)", R"(\\?\T:\)", R"(lib\x.rpgle)"},
      {R"(\\?\t:\lib\x.rpgle)", R"(\\?\T:\)", R"(lib\x.rpgle)"},
      {R"(\\?\C:\Mounts\Dev\src\x.cl)", R"(\\?\C:\mounts\dev\)", R"(src\x.cl)"},
      {R"(\\server\share\x.cl)", R"(\\server\share\)", "x.cl"},
      {R"(//server/share/x.cl)", R"(\\server\share)", "x.cl"},
      {R"(\\?\C:\Mountsx\y.cl)", R"(\\?\C:\Mounts\)", std::nullopt},
      {R"(\\other\share\x.cl)", R"(\\server\share\)", std::nullopt},
      {R"(\\?\T:\)", R"(\\?\T:\)", std::nullopt},
      {R"(\\?\T:\a\..\x.cl)", R"(\\?\T:\)", std::nullopt},
      {R"(rel\x.cl)", R"(C:\)", std::nullopt},
      {R"(\\?\T:\x.cl)", "", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(relative_request_path_below(c.path, c.root), c.expected) << c.path << " below " << c.root;
}

TEST(IbmiTypeExtensions, FiltersByTheLastNamesExtension) {
  const std::pair<const char*, bool> cases[] = {
      {"X.RPGLE", true},
      {"x.RpGlE", true},
      {R"(Z:\QSYS.LIB\L.LIB\F.FILE\m.rpgle)", true},
      {"z:/dir.txt/m.sqlrpgle", true},
      {"a.bas", true},
      {"a.UIM", true},
      {"a.cicssqlcbl", true},
      {"a.SAVF", true},
      {"..x.clle", true},
      {R"(Z:\a\x.rpgle\)", true},
      {"x.txt", false},
      {"x.rpgle2", false},
      {"x.rpgle.", false},
      {"noextension", false},
      {".rpgle", false},
      {R"(Z:\dir\.rpgle)", false},
      {R"(Z:\x.rpgle\..)", false},
      {R"(Z:\)", false},
      {"", false},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(has_ibmi_type_extension(path), expected) << path;
}

}  // namespace
}  // namespace tarvik
