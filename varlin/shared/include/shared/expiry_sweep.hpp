#pragma once

#include <functional>

#include "shared/clock.hpp"
#include "shared/spelling_map.hpp"

namespace varlin::filesystem {

// When a cache drops its expired values: at an insert, once a lifetime has passed since the last
// sweep. Sweeps a lifetime apart pass over a value that is not renewed at most twice, the second
// dropping it, so they cost each insert a constant share however large the map is. Under the lifetime
// that never ends no sweep is ever due. Under a lifetime of 0 every insert sweeps, but each sweep
// empties the map, which so holds no more than the insert before stored.
class ExpirySweep {
 public:
  explicit ExpirySweep(MonotonicTime start) : last_sweep_(start) {}

  // When a sweep is due at `now`, drops each value of the map no longer fresh, its time read by
  // `stored_at`.
  template <typename Value, typename StoredAt>
  void run_if_due(SpellingMap<Value>& map, MonotonicTime now, Lifetime lifetime, StoredAt stored_at) {
    if (is_fresh(last_sweep_, now, lifetime)) return;
    last_sweep_ = now;
    map.erase_values_if(
        [&](const Value& value) { return !is_fresh(std::invoke(stored_at, value), now, lifetime); });
  }

 private:
  MonotonicTime last_sweep_;
};

}  // namespace varlin::filesystem
