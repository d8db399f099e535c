#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "morva/server/display_name.hpp"
#include "morva/server/qsys_path.hpp"
#include "morva/server/remote_path.hpp"
#include "morva/server/resolve_remote_path.hpp"

// Odd and random paths through every path function: none may crash or read out of bounds (the
// sanitizer build watches), and the properties callers rely on hold for whatever comes in.
namespace morva::server {
namespace {

using namespace std::string_view_literals;

const std::vector<std::string> kFragments = {
    "/",
    "\\",
    "//",
    "\\\\",
    ".",
    "..",
    "...",
    std::string("\0", 1),
    "QSYS.LIB",
    "qsys.lib",
    ".LIB",
    ".lib",
    ".FILE",
    ".MBR",
    ".mbr",
    ".PGM",
    "MYLIB",
    "x.y.z",
    " ",
    "\t",
    "\u3000",
    "\u00A0",
    "\u00C6",
    "\u00E5",
    "\xC3",
    "\x80",
    "\xC0\xA0",
    "\xED\xA0\x80",
    "\xF4\x90\x80\x80",
    std::string(300, 'A'),
};

std::string random_path(std::mt19937& random) {
  std::uniform_int_distribution<std::size_t> count(0, 6);
  std::uniform_int_distribution<std::size_t> pick(0, kFragments.size() - 1);
  // Half the paths start inside the library file system, so the parsers get past their first check.
  std::string path = random() % 2 ? "/QSYS.LIB/" : "";
  for (std::size_t n = count(random); n > 0; --n) {
    path += kFragments[pick(random)];
    if (random() % 3 == 0) path += kFragments[pick(random)];
    path += random() % 4 ? "/" : "\\";
  }
  return path;
}

void check_properties(std::string_view path) {
  SCOPED_TRACE(::testing::Message() << "path of " << path.size() << " bytes");

  const std::string normalized = normalize_remote_path(path);
  ASSERT_TRUE(normalized.starts_with('/'));
  EXPECT_EQ(normalized.find('\\'), std::string::npos);
  EXPECT_TRUE(normalized == "/" || !normalized.ends_with('/'));
  EXPECT_EQ(ensure_not_root(normalized).has_value(), normalized != "/");
  (void)is_source_member_path(path);

  if (const auto member = QsysMemberPath::parse(path)) {
    // The canonical path names the same member again.
    EXPECT_EQ(QsysMemberPath::parse(member->path), member);
    EXPECT_TRUE(is_source_member_path(member->path));
  }
  (void)QsysFilePath::parse(path);

  if (const auto object = object_path_from_display(path)) {
    EXPECT_TRUE(object->starts_with("/QSYS.LIB/"));
    EXPECT_FALSE(is_source_member_path(*object));
    EXPECT_EQ(resolve_remote_path(path), *object);
  }
  (void)resolve_remote_path(path);

  // A plain entry is shown as its name or the name without a suffix.
  const DisplayedEntry plain{path, {}, {}, {}};
  EXPECT_TRUE(path.starts_with(display_name("/QSYS.LIB", plain)));
  const DisplayedEntry member{path, path, path, DisplayedEntry::Object{path, path, path}};
  (void)display_name(path, member);
}

TEST(QsysPathFuzz, RandomPathsKeepTheProperties) {
  std::mt19937 random(20240611);
  for (int i = 0; i < 20000; ++i) {
    check_properties(random_path(random));
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(QsysPathFuzz, HugeAndDegeneratePathsKeepTheProperties) {
  const std::string long_name(1 << 20, 'M');
  std::string national;
  for (int i = 0; i < 100000; ++i) national += "\u00C6";
  const std::string inputs[] = {
      std::string(1 << 20, '/'),       std::string(1 << 20, '\\'),
      std::string(1 << 20, '.'),       std::string(1 << 20, '\0'),
      std::string(1 << 20, ' '),       "/QSYS.LIB/L.LIB/F.FILE/" + long_name + ".MBR",
      "/QSYS.LIB/L/F/" + national,     "/QSYS.LIB/L/" + long_name + ".PGM",
      "\u3000" + long_name + "\u3000", std::string("/QSYS.LIB\0/L/F/M.MBR", 20),
  };
  for (const std::string& input : inputs) check_properties(input);
}

}  // namespace
}  // namespace morva::server
