// Names as Windows must be given them to make files and folders of them.
#include "filesystem/windows_name.hpp"

#include <gtest/gtest.h>

namespace varlin::filesystem {
namespace {

TEST(WindowsName, KeepsEveryNameThatWindowsTakesAsItIs) {
  const std::string_view names[] = {
      "HELLO.MBR",  "QSYS.LIB",           "CONSOLE.LIB", "ACON",     "CON_",  "NULL",      "COM",
      "COM10",      "LPTX.FILE",          "LPT\xC2\xB4", ".profile", "a b.c", "fe80%eth0", "%43ON",
      "\xC3\x85se", "\xE2\x82\xAC notes",
  };
  for (const std::string_view name : names) EXPECT_EQ(windows_name(name), name);
}

TEST(WindowsName, EscapesDeviceNamesForbiddenCharactersAndADroppedLastDotOrSpace) {
  const struct {
    std::string_view name;
    std::string_view spelled;
  } cases[] = {
      {"CON", "%43ON"},
      {"con", "%63on"},
      {"Prn.txt", "%50rn.txt"},
      {"AUX.A.B", "%41UX.A.B"},
      {"NUL.MBR", "%4EUL.MBR"},
      {"CON .txt", "%43ON .txt"},
      {"COM0", "%43OM0"},
      {"COM1.LIB", "%43OM1.LIB"},
      {"com9", "%63om9"},
      {"LPT1", "%4CPT1"},
      {"lpt9.FILE", "%6Cpt9.FILE"},
      {"COM\xC2\xB9", "%43OM\xC2\xB9"},
      {"LPT\xC2\xB3.x", "%4CPT\xC2\xB3.x"},
      {"a:b", "a%3Ab"},
      {"C:", "C%3A"},
      {"<>\"/\\|?*", "%3C%3E%22%2F%5C%7C%3F%2A"},
      {"tab\tend", "tab%09end"},
      {"HELLO.", "HELLO%2E"},
      {"HELLO ", "HELLO%20"},
      {"NUL ", "%4EUL%20"},
      {".", "%2E"},
      {"..", ".%2E"},
  };
  for (const auto& c : cases) EXPECT_EQ(windows_name(c.name), c.spelled) << c.name;
}

}  // namespace
}  // namespace varlin::filesystem
