#include "shared/clock.hpp"

namespace varlin::filesystem {

Lifetime cache_lifetime(std::uint64_t seconds) {
  using Seconds = std::chrono::duration<std::uint64_t>;
  constexpr auto kLongest = std::chrono::duration_cast<Seconds>(Lifetime::max());
  if (seconds >= kLongest.count()) return Lifetime::max();
  return std::chrono::duration_cast<Lifetime>(std::chrono::seconds(static_cast<std::int64_t>(seconds)));
}

}  // namespace varlin::filesystem
