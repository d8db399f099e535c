#include "filesystem/remote_root.hpp"

#include <gtest/gtest.h>

namespace varlin::filesystem {
namespace {

constexpr const char* kRefused = "refused";

struct TranslateCase {
  const char* name;
  const char* root;
  RootEnvironment environment;
  const char* expected;  // the checked and normalised root, or kRefused
};

std::string checked(std::string_view root, const RootEnvironment& environment) {
  auto normalized = normalize_remote_root(translate_remote_root(root, environment));
  if (!normalized) {
    EXPECT_EQ(normalized.error().io_kind(), morva::IoErrorKind::invalid_input);
    EXPECT_EQ(normalized.error().text(), "remote root must be an absolute IBM i IFS path");
    return kRefused;
  }
  return *normalized;
}

// Running under a Unix-like shell (MSYSTEM set), with these variables.
RootEnvironment under_shell(std::optional<std::string> shell,
                            std::optional<std::string> exepath = std::nullopt,
                            std::optional<std::string> temp_directory = std::nullopt) {
  return {.msystem = true,
          .shell = std::move(shell),
          .exepath = std::move(exepath),
          .temp_directory = std::move(temp_directory)};
}

TEST(RemoteRoot, TranslatesWhatAUnixLikeShellRewrote) {
  const RootEnvironment git_bash = under_shell(R"(C:\Program Files\Shell\usr\bin\bash.exe)");
  const RootEnvironment temp_only =
      under_shell(std::nullopt, std::nullopt, R"(C:\Users\me\AppData\Local\Temp\)");
  const TranslateCase cases[] = {
      {"shell prefix", "C:/Program Files/Shell/QSYS.LIB/MYLIB.LIB", git_bash, "/QSYS.LIB/MYLIB.LIB"},
      {"shell prefix in other case", "c:/program files/SHELL/x", git_bash, "/x"},
      {"bash without .exe", "D:/msys/home", under_shell("D:/msys/usr/bin/bash"), "/home"},
      {"shell is only the suffix", "/usr/bin/bash/x", under_shell("/usr/bin/bash"), "/usr/bin/bash/x"},
      {"whole root is the candidate", "C:/Program Files/Shell", git_bash, kRefused},
      {"temp directory", R"(C:\Users\me\AppData\Local\Temp\build)", temp_only, "/tmp/build"},
      {"temp directory itself", R"(C:\Users\me\AppData\Local\Temp)", temp_only, "/tmp"},
      {"no MSYSTEM", "C:/x", RootEnvironment{}, kRefused},
      {"MSYSTEM and a slash first", "/QSYS.LIB//", git_bash, "/QSYS.LIB"},
      {"backslash first, empty EXEPATH", R"(\QSYS.LIB)", under_shell(std::nullopt, R"(\)"), "/QSYS.LIB"},
      {"backslash first, nothing matches", R"(\QSYS.LIB)", under_shell(std::nullopt), kRefused},
      {"non-ASCII compared exactly", "C:/\xC3\xA9/QSYS.LIB", under_shell("C:/\xC3\x89/usr/bin/bash.exe"),
       kRefused},
  };
  for (const auto& c : cases) EXPECT_EQ(checked(c.root, c.environment), c.expected) << c.name;
}

// The root as the IBM i resolves it: "." and empty steps are no steps.
TEST(RemoteRoot, NormalisesOrRefuses) {
  const std::pair<const char*, const char*> cases[] = {
      {"/", "/"},
      {"///", "/"},
      {"/.", "/"},
      {"/./", "/"},
      {"/home/user/", "/home/user"},
      {"/a/./b", "/a/b"},
      {"/./QSYS.LIB/DEMO.LIB", "/QSYS.LIB/DEMO.LIB"},
      {"/QSYS.LIB/./DEMO.LIB", "/QSYS.LIB/DEMO.LIB"},
      {"//QSYS.LIB//DEMO.LIB/", "/QSYS.LIB/DEMO.LIB"},
      {"/home/./demo/.", "/home/demo"},
      {"/a/...", "/a/..."},
      {"/a/.b", "/a/.b"},
      {"", kRefused},
      {"home", kRefused},
      {"./home", kRefused},
      {"/a/../b", kRefused},
      {"/a/..", kRefused},
      {"/./..", kRefused},
      {"/a\\b", kRefused},
  };
  for (const auto& [root, expected] : cases) EXPECT_EQ(checked(root, {}), expected) << root;
}

}  // namespace
}  // namespace varlin::filesystem
