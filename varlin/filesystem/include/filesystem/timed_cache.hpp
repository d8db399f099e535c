#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "shared/clock.hpp"
#include "shared/spelling_map.hpp"

namespace varlin::filesystem {

// Values by remote path (exact bytes), each used while younger than the lifetime. An expired value
// stays until a lookup finds it, an insert replaces it or an invalidation drops it; an invalidation
// drops every spelling of the path that names the same object on the IBM i.
template <typename Value>
class TimedCache {
 public:
  TimedCache(Lifetime lifetime, MonotonicClock clock) : lifetime_(lifetime), clock_(std::move(clock)) {}

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
    values_.insert_or_assign(std::move(path), std::pair(std::move(value), now));
  }

  // Stores several values at one reading of the clock.
  template <typename Range, typename Project>
  void insert_all(const Range& range, Project project) {
    const MonotonicTime now = clock_();
    std::lock_guard lock(mutex_);
    for (const auto& item : range) {
      auto [path, value] = project(item);
      values_.insert_or_assign(std::move(path), std::pair(std::move(value), now));
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

 private:
  Lifetime lifetime_;
  MonotonicClock clock_;
  std::mutex mutex_;
  SpellingMap<std::pair<Value, MonotonicTime>> values_;
};

}  // namespace varlin::filesystem
