#include "shared/clock.hpp"

#include <gtest/gtest.h>

namespace varlin::filesystem {
namespace {

using namespace std::chrono_literals;

TEST(CacheLifetime, WholeSecondsSaturateAtTheLongestLifetime) {
  EXPECT_EQ(cache_lifetime(0), Lifetime::zero());
  EXPECT_EQ(cache_lifetime(30), 30s);
  EXPECT_EQ(cache_lifetime(4294968), 4294968s);
  EXPECT_EQ(cache_lifetime(UINT64_MAX), Lifetime::max());
  EXPECT_EQ(cache_lifetime(UINT64_MAX / 1000000000 + 1), Lifetime::max());
}

TEST(IsFresh, OnlyWhileStrictlyYoungerThanTheLifetime) {
  const MonotonicTime stored{100s};
  EXPECT_TRUE(is_fresh(stored, stored + 29s, 30s));
  EXPECT_FALSE(is_fresh(stored, stored + 30s, 30s));
  EXPECT_TRUE(is_fresh(stored, stored + 30s - 1ns, 30s));
  EXPECT_FALSE(is_fresh(stored, stored, 0s));
  EXPECT_TRUE(is_fresh(stored, stored - 5s, 1ns)) << "a clock behind the stored time counts as no age";
  EXPECT_TRUE(is_fresh(stored, stored + 100000h, Lifetime::max()));
}

}  // namespace
}  // namespace varlin::filesystem
