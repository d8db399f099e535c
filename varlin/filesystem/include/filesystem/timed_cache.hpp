#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "shared/clock.hpp"
#include "shared/expiry_sweep.hpp"
#include "shared/spelling_map.hpp"

namespace varlin::filesystem {

// Values by remote path (exact bytes), each used while younger than the lifetime. Expired values are
// dropped as the cache is used: by a lookup that finds one, or by the sweep of an insert (ExpirySweep).
// An invalidation drops every spelling of the path that names the same object on the IBM i.
template <typename Value>
class TimedCache {
 public:
  TimedCache(Lifetime lifetime, MonotonicClock clock)
      : lifetime_(lifetime), clock_(std::move(clock)), sweep_(clock_()) {}

  std::optional<Value> fresh(std::string_view path) {
    std::lock_guard lock(mutex_);
    const auto* found = values_.find(path);
    if (!found) return std::nullopt;
    if (is_fresh(found->second, clock_(), lifetime_)) return found->first;
    values_.erase_spelling(path);
    return std::nullopt;
  }

  void insert(std::string path, Value value) {
    const MonotonicTime now = clock_();
    std::lock_guard lock(mutex_);
    sweep_.run_if_due(values_, now, lifetime_, &Stored::second);
    values_.insert_or_assign(std::move(path), Stored(std::move(value), now));
  }

  // Stores several values at one reading of the clock.
  template <typename Range, typename Project>
  void insert_all(const Range& range, Project project) {
    const MonotonicTime now = clock_();
    std::lock_guard lock(mutex_);
    sweep_.run_if_due(values_, now, lifetime_, &Stored::second);
    for (const auto& item : range) {
      auto [path, value] = project(item);
      values_.insert_or_assign(std::move(path), Stored(std::move(value), now));
    }
  }

  // Drops the value under every spelling of the path, or every value at or below one.
  void remove(std::string_view path) {
    std::lock_guard lock(mutex_);
    values_.erase_object(path);
  }

  void remove_at_or_below(std::string_view path) {
    std::lock_guard lock(mutex_);
    values_.erase_at_or_below(path);
  }

  // The values held, expired ones not dropped yet among them.
  std::size_t size() const {
    std::lock_guard lock(mutex_);
    return values_.size();
  }

 private:
  using Stored = std::pair<Value, MonotonicTime>;

  Lifetime lifetime_;
  MonotonicClock clock_;
  mutable std::mutex mutex_;
  ExpirySweep sweep_;
  SpellingMap<Stored> values_;
};

}  // namespace varlin::filesystem
