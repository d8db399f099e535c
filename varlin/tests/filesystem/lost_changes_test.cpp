// The lines that tell the user of a change Windows took for made and the IBM i does not hold.
#include "filesystem/lost_changes.hpp"

#include <gtest/gtest.h>

namespace varlin::filesystem {
namespace {

TEST(LostChangesLine, SaysWhereTheTextIsKeptAndHowOldThatCopyIs) {
  const KeptText current{.copy = "C:\\u\\HELLO.x.MBR", .current = true};
  const KeptText earlier{.copy = "C:\\u\\HELLO.x.MBR", .current = false};
  const struct {
    std::optional<KeptText> kept;
    UnsavedChanges changes;
    std::string_view line;
  } cases[] = {
      {current, UnsavedChanges::lost,
       "Changes to /p are lost: access denied; their text is kept in C:\\u\\HELLO.x.MBR\n"},
      {earlier, UnsavedChanges::lost,
       "Changes to /p are lost: access denied; no copy of their last text could be kept, an earlier text is "
       "kept in C:\\u\\HELLO.x.MBR\n"},
      {std::nullopt, UnsavedChanges::lost,
       "Changes to /p are lost: access denied; no copy of their text could be kept\n"},
      // An answer that never came leaves the member as the IBM i may have finished it.
      {current, UnsavedChanges::unconfirmed,
       "Changes to /p may not have been saved: access denied; their text is kept in C:\\u\\HELLO.x.MBR; look "
       "on the IBM i\n"},
      {earlier, UnsavedChanges::unconfirmed,
       "Changes to /p may not have been saved: access denied; no copy of their last text could be kept, an "
       "earlier text is kept in C:\\u\\HELLO.x.MBR; look on the IBM i\n"},
      {std::nullopt, UnsavedChanges::unconfirmed,
       "Changes to /p may not have been saved: access denied; no copy of their text could be kept; look on "
       "the IBM i\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(lost_changes_line("/p", "access denied", c.kept, c.changes), c.line);
}

}  // namespace
}  // namespace varlin::filesystem
