#include "morva/secret.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace morva {
namespace {

// Records what a block held when it was given back.
template <typename T>
struct Recording {
  using value_type = T;
  static inline std::vector<std::uint8_t> released;

  Recording() = default;
  template <typename U>
  Recording(const Recording<U>&) {}
  T* allocate(std::size_t count) { return std::allocator<T>{}.allocate(count); }
  void deallocate(T* pointer, std::size_t count) noexcept {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pointer);
    released.assign(bytes, bytes + count * sizeof(T));
    std::allocator<T>{}.deallocate(pointer, count);
  }
  bool operator==(const Recording&) const noexcept { return true; }
};
using RecordingAllocator = Recording<std::uint8_t>;

TEST(Wipe, ZeroesEveryByte) {
  std::uint8_t buffer[32];
  std::memset(buffer, 0xA5, sizeof buffer);
  wipe(buffer, sizeof buffer);
  EXPECT_TRUE(std::all_of(std::begin(buffer), std::end(buffer), [](auto b) { return b == 0; }));
}

TEST(WipingAllocator, ZeroesBlocksOnReleaseAndGrowth) {
  {
    std::vector<std::uint8_t, WipingAllocator<std::uint8_t, RecordingAllocator>> bytes{1, 2, 3};
    bytes.resize(1000, 7);  // reallocates: the old block must reach the upstream as zeros
    ASSERT_EQ(RecordingAllocator::released.size(), 3u);
    EXPECT_TRUE(std::all_of(RecordingAllocator::released.begin(), RecordingAllocator::released.end(),
                            [](auto b) { return b == 0; }));
  }
  ASSERT_EQ(RecordingAllocator::released.size(), 1000u);
  EXPECT_TRUE(std::all_of(RecordingAllocator::released.begin(), RecordingAllocator::released.end(),
                          [](auto b) { return b == 0; }));
}

TEST(Secret, MoveLeavesSourceEmptyAndCloneIsIndependent) {
  Secret password(std::string_view("PASSWORD"));
  Secret copy = password.clone();
  Secret moved = std::move(password);
  EXPECT_TRUE(password.empty());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  EXPECT_EQ(moved.text(), "PASSWORD");
  moved.clear();
  EXPECT_TRUE(moved.empty());
  EXPECT_EQ(copy.text(), "PASSWORD");
}

}  // namespace
}  // namespace morva
