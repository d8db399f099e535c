#include "pipe_client/result_cache.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tarvik {
namespace {

using namespace std::chrono_literals;

const MonotonicClock::time_point kStart{1000h};

MetadataResult result_named(std::string path) {
  return {std::move(path), {}};
}

TEST(ResultCacheKey, LowersAsciiLettersOnly) {
  EXPECT_EQ(result_cache_key(7, "Lib\\PGM1.RPGLE\xC3\x86"), (ResultCacheKey{7, "lib\\pgm1.rpgle\xC3\x86"}));
  EXPECT_EQ(result_cache_key(7, R"(Z\Lib\PGM1.rpgle)"), result_cache_key(7, R"(z\lib\pgm1.RPGLE)"));
  EXPECT_NE(result_cache_key(7, "a.rpgle"), result_cache_key(8, "a.rpgle"));
}

TEST(ResultCache, ServesAnEntryForLessThanThirtyWholeSeconds) {
  ResultCache cache;
  const auto key = result_cache_key(1, "a.rpgle");
  insert_cached_result(cache, key, result_named("/a"), kStart);
  EXPECT_EQ(find_cached_result(cache, key, kStart), result_named("/a"));
  EXPECT_EQ(find_cached_result(cache, key, kStart + 29900ms), result_named("/a"));
  EXPECT_EQ(find_cached_result(cache, key, kStart - 5s), result_named("/a")) << "a clock that went back";
  EXPECT_EQ(find_cached_result(cache, key, kStart + 30s), std::nullopt);
  EXPECT_TRUE(cache.empty()) << "the stale entry is removed";
}

TEST(ResultCache, LookupsDoNotRenewTheStoredTime) {
  ResultCache cache;
  const auto key = result_cache_key(1, "a.rpgle");
  insert_cached_result(cache, key, result_named("/a"), kStart);
  ASSERT_TRUE(find_cached_result(cache, key, kStart + 20s));
  EXPECT_EQ(find_cached_result(cache, key, kStart + 30s), std::nullopt);
}

TEST(ResultCache, InsertReplacesAnEqualKeyAndDropsStaleEntries) {
  ResultCache cache;
  insert_cached_result(cache, result_cache_key(1, "old.rpgle"), result_named("/old"), kStart);
  insert_cached_result(cache, result_cache_key(1, "a.rpgle"), result_named("/a"), kStart + 10s);
  insert_cached_result(cache, result_cache_key(1, "A.RPGLE"), result_named("/A"), kStart + 30s);
  ASSERT_EQ(cache.size(), 1u);
  EXPECT_EQ(find_cached_result(cache, result_cache_key(1, "a.rpgle"), kStart + 59s), result_named("/A"));
}

TEST(ResultCache, AFullCacheLosesItsOldestEntry) {
  ResultCache cache;
  for (std::size_t i = 0; i < kResultCacheCapacity; ++i) {
    // The oldest entry sits in the middle of the map's order.
    const auto stored = i == 1000 ? kStart : kStart + 1s + std::chrono::milliseconds(i);
    insert_cached_result(cache, result_cache_key(1, std::to_string(i)), result_named("/x"), stored);
  }
  ASSERT_EQ(cache.size(), kResultCacheCapacity);
  insert_cached_result(cache, result_cache_key(1, "new"), result_named("/new"), kStart + 5s);
  EXPECT_EQ(cache.size(), kResultCacheCapacity);
  EXPECT_FALSE(cache.contains(result_cache_key(1, "1000")));
  EXPECT_TRUE(cache.contains(result_cache_key(1, "999")));
  EXPECT_TRUE(cache.contains(result_cache_key(1, "new")));
}

}  // namespace
}  // namespace tarvik
