#include "metadata_pipe/mount_id_hash.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace varlin::metadata_pipe {
namespace {

struct HashCase {
  std::string_view host;
  std::string_view remote_root;
  std::string_view mount_point;
  std::uint32_t expected;
};

TEST(MountIdHash, KnownValues) {
  const HashCase cases[] = {
      {"SYS1", "/", "Z:", 0x6836B7AC},
      {"sys1", "/", "z:", 0x6836B7AC},
      {"", "", "", 0x117697CD},
  };
  for (const auto& c : cases)
    EXPECT_EQ(mount_id_hash(c.host, c.remote_root, c.mount_point), c.expected)
        << c.host << "|" << c.remote_root;
}

TEST(MountIdHash, SeparatesTheTexts) {
  EXPECT_NE(mount_id_hash("ab", "", ""), mount_id_hash("", "ab", ""));
  EXPECT_NE(mount_id_hash("ab", "c", "d"), mount_id_hash("a", "bc", "d"));
  EXPECT_NE(mount_id_hash("host", "/a", "Z:"), mount_id_hash("host", "/a", "Y:"));
}

TEST(MountIdHash, LeavesNonAsciiBytesAlone) {
  // U+00C4 and U+00E4 differ in a byte that is not an ASCII letter.
  EXPECT_NE(mount_id_hash("\xC3\x84", "/", "Z:"), mount_id_hash("\xC3\xA4", "/", "Z:"));
}

}  // namespace
}  // namespace varlin::metadata_pipe
