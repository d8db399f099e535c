#include "filesystem/volume_space.hpp"

#include <gtest/gtest.h>

namespace varlin::filesystem {
namespace {

TEST(VolumeSpace, TotalAndFreeFromTheStorageFigures) {
  struct Case {
    std::uint32_t asp;
    std::uint32_t used;
    std::uint64_t total;
    std::uint64_t free;
  };
  const Case cases[] = {
      {0, 500000, 0, 0},
      {2, 250000, 2000000, 1500000},
      {7, 1000000, 7000000, 0},
      {7, 1200000, 7000000, 0},
      {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFFull * 1000000, 0},
  };
  for (const auto& c : cases) {
    const auto space = volume_space_of({.system_asp = c.asp, .system_asp_used = c.used}, MonotonicTime{});
    EXPECT_EQ(space.total, c.total) << c.asp;
    EXPECT_EQ(space.free, c.free) << c.asp << " " << c.used;
  }
}

}  // namespace
}  // namespace varlin::filesystem
