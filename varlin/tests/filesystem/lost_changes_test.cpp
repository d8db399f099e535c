// The lines that tell the user of a change Windows took for made and the IBM i does not hold.
#include "filesystem/lost_changes.hpp"

#include <gtest/gtest.h>

namespace varlin::filesystem {
namespace {

TEST(LostChangesLine, SaysWhereTheTextIsKeptAndHowOldThatCopyIs) {
  const struct {
    std::optional<KeptText> kept;
    std::string_view line;
  } cases[] = {
      {KeptText{.copy = "C:\\u\\HELLO.x.MBR", .current = true},
       "Changes to /p are lost: access denied; their text is kept in C:\\u\\HELLO.x.MBR\n"},
      {KeptText{.copy = "C:\\u\\HELLO.x.MBR", .current = false},
       "Changes to /p are lost: access denied; no copy of their last text could be kept, an earlier text is "
       "kept "
       "in C:\\u\\HELLO.x.MBR\n"},
      {std::nullopt, "Changes to /p are lost: access denied; no copy of their text could be kept\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(lost_changes_line("/p", "access denied", c.kept), c.line);
}

}  // namespace
}  // namespace varlin::filesystem
