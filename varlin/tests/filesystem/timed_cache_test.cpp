// What an insert into a timed cache gives back of the values stored before it, and what it keeps.
#include "filesystem/timed_cache.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varlin::filesystem {
namespace {

using namespace std::chrono_literals;

constexpr const char* kOldSpelling = "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR";
constexpr const char* kOldFile = "/home/tester/old.txt";
constexpr const char* kRecentSpelling = "/QSYS.LIB/DEVLIB/QCLSRC/HELLO.clp";
constexpr const char* kLater = "/home/other/later.txt";

// Two values stored at the start, then another spelling of the first one's member, then, later still,
// one more path: what that last insert leaves of the earlier ones.
TEST(TimedCache, AnInsertDropsWhatHasExpiredAndKeepsWhatIsFresh) {
  struct Case {
    const char* name;
    Lifetime lifetime;
    Lifetime before_recent;  // from the first values to the recent spelling
    Lifetime before_later;   // from the recent spelling to the last insert
    bool batch;              // the last insert stores a range
    bool old_kept;
    bool recent_kept;
  };
  const Case cases[] = {
      {"the first values a lifetime old", 30s, 20s, 10s, false, false, true},
      {"the same, the last insert a range", 30s, 20s, 10s, true, false, true},
      {"a lifetime that never ends", cache_lifetime(std::numeric_limits<std::uint64_t>::max()), 1000h, 1000h,
       false, true, true},
      {"a lifetime of 0, the clock standing still", 0s, 0s, 0s, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MonotonicTime now{1000s};
    TimedCache<int> cache(c.lifetime, [&now] { return now; });
    cache.insert(kOldSpelling, 1);
    cache.insert(kOldFile, 2);
    now += c.before_recent;
    cache.insert(kRecentSpelling, 3);
    now += c.before_later;
    if (c.batch) {
      const std::vector<std::pair<std::string, int>> later = {{kLater, 4}};
      cache.insert_all(later, [](const auto& item) { return item; });
    } else {
      cache.insert(kLater, 4);
    }

    EXPECT_EQ(cache.size(), 1 + (c.old_kept ? 2 : 0) + (c.recent_kept ? 1 : 0));
    EXPECT_EQ(cache.fresh(kOldSpelling), c.old_kept ? std::optional(1) : std::nullopt);
    EXPECT_EQ(cache.fresh(kOldFile), c.old_kept ? std::optional(2) : std::nullopt);
    EXPECT_EQ(cache.fresh(kRecentSpelling), c.recent_kept ? std::optional(3) : std::nullopt);
    cache.remove(kOldSpelling);
    EXPECT_EQ(cache.fresh(kRecentSpelling), std::nullopt) << "an invalidation drops every spelling";
  }
}

}  // namespace
}  // namespace varlin::filesystem
