#include "metadata_pipe/pipe_name.hpp"

#include <gtest/gtest.h>

namespace varlin::metadata_pipe {
namespace {

TEST(MetadataPipeName, IsThePrefixAndEightUpperCaseHexDigits) {
  const struct {
    std::uint32_t mount_id;
    std::string name;
  } cases[] = {
      {0x2A, R"(\\.\pipe\VARLIN.Metadata.0000002A)"},
      {1, R"(\\.\pipe\VARLIN.Metadata.00000001)"},
      {0xAB, R"(\\.\pipe\VARLIN.Metadata.000000AB)"},
      {0xFFFFFFFF, R"(\\.\pipe\VARLIN.Metadata.FFFFFFFF)"},
      {0x1234ABCD, R"(\\.\pipe\VARLIN.Metadata.1234ABCD)"},
  };
  for (const auto& c : cases) EXPECT_EQ(metadata_pipe_name(c.mount_id), c.name) << c.mount_id;
}

}  // namespace
}  // namespace varlin::metadata_pipe
