#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace varlin::filesystem {

using MonotonicTime = std::chrono::steady_clock::time_point;
using Lifetime = std::chrono::steady_clock::duration;

// Where the caches read the time; tests hand in their own.
using MonotonicClock = std::function<MonotonicTime()>;

inline MonotonicTime steady_now() {
  return std::chrono::steady_clock::now();
}

// A lifetime of whole seconds; one too long to count in the clock's units lasts for ever.
Lifetime cache_lifetime(std::uint64_t seconds);

// A cached value is used only while strictly younger than its lifetime, so a lifetime of 0 disables
// use. A clock that reads earlier than the stored time counts as no time passed.
inline bool is_fresh(MonotonicTime stored, MonotonicTime now, Lifetime lifetime) {
  const Lifetime age = now < stored ? Lifetime::zero() : now - stored;
  return age < lifetime;
}

}  // namespace varlin::filesystem
