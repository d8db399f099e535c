#include "com_server/server_counts.hpp"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tarvik {
namespace {

TEST(ServerCounts, AnyLiveObjectLockOrWeakRecordKeepsTheServerInUse) {
  ASSERT_FALSE(server_in_use());
  for (auto* count : {&OBJECT_COUNT, &LOCK_COUNT, &WEAK_RECORD_COUNT}) {
    ++*count;
    EXPECT_TRUE(server_in_use());
    --*count;
    EXPECT_FALSE(server_in_use());
  }
}

TEST(ServerCounts, UnlockingNeverGoesBelowZero) {
  lock_server(false);
  EXPECT_EQ(LOCK_COUNT.load(), 0u);
  lock_server(true);
  lock_server(true);
  lock_server(false);
  EXPECT_EQ(LOCK_COUNT.load(), 1u);
  lock_server(false);
  lock_server(false);
  EXPECT_EQ(LOCK_COUNT.load(), 0u);
  EXPECT_FALSE(server_in_use());
}

TEST(ServerCounts, ConcurrentUnlocksStopAtZero) {
  for (int i = 0; i < 1000; ++i) lock_server(true);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) lock_server(false);
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(LOCK_COUNT.load(), 0u);
}

}  // namespace
}  // namespace tarvik
