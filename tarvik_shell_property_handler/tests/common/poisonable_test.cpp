#include "common/poisonable.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace tarvik {
namespace {

TEST(Poisonable, GuardsTheValue) {
  Poisonable<int> value;
  {
    auto locked = value.lock();
    ASSERT_TRUE(locked);
    **locked = 5;
  }
  std::thread other([&value] {
    auto locked = value.lock();
    ASSERT_TRUE(locked);
    **locked += 1;
  });
  other.join();
  EXPECT_EQ(**value.lock(), 6);
}

TEST(Poisonable, AnExceptionWhileHeldPoisonsItForGood) {
  Poisonable<int> value;
  EXPECT_THROW(
      {
        auto locked = value.lock();
        **locked = 1;
        throw std::runtime_error("failed while holding");
      },
      std::runtime_error);
  EXPECT_FALSE(value.lock());
  EXPECT_FALSE(value.lock());
}

TEST(Poisonable, TakingItDuringAnotherUnwindDoesNotPoison) {
  Poisonable<int> value;
  struct LocksWhileUnwinding {
    Poisonable<int>& value;
    ~LocksWhileUnwinding() { EXPECT_TRUE(value.lock()); }
  };
  try {
    LocksWhileUnwinding guard{value};
    throw std::runtime_error("unrelated");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(value.lock());
}

}  // namespace
}  // namespace tarvik
