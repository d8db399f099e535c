// Windows opens a device for a name it keeps for one, wherever the name is: writing there keeps nothing.
#include <gmock/gmock.h>

#include "filesystem/durable_file.hpp"
#include "temporary_folder.hpp"

namespace varlin::filesystem {
namespace {

TEST(WriteNewFileDurably, RefusesANameThatOpensADevice) {
  const testing_support::TemporaryFolder folder;
  for (const char* device : {"NUL", "nul.txt"}) {
    const auto written = write_new_file_durably(folder.path() / device, "PGM");
    EXPECT_FALSE(written) << device;
  }
  EXPECT_THAT(folder.files(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace varlin::filesystem
