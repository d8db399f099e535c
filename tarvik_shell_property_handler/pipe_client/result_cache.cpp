#include "pipe_client/result_cache.hpp"

#include <algorithm>

#include "pipe_client/ascii.hpp"

namespace tarvik {

namespace {

// Age in whole seconds, never negative.
bool is_fresh(const CachedResult& entry, MonotonicClock::time_point now) {
  const auto age = now > entry.stored ? now - entry.stored : MonotonicClock::duration::zero();
  return std::chrono::floor<std::chrono::seconds>(age) < kResultLifetime;
}

}  // namespace

ResultCacheKey result_cache_key(std::uint32_t serial, std::string_view relative_path) {
  return {serial, to_ascii_lower(relative_path)};
}

std::optional<MetadataResult> find_cached_result(ResultCache& cache, const ResultCacheKey& key,
                                                 MonotonicClock::time_point now) {
  const auto found = cache.find(key);
  if (found == cache.end()) return std::nullopt;
  if (is_fresh(found->second, now)) return found->second.result;
  cache.erase(found);
  return std::nullopt;
}

void insert_cached_result(ResultCache& cache, ResultCacheKey key, MetadataResult result,
                          MonotonicClock::time_point now) {
  std::erase_if(cache, [now](const auto& entry) { return !is_fresh(entry.second, now); });
  if (cache.size() >= kResultCacheCapacity) {
    cache.erase(std::ranges::min_element(cache, {}, [](const auto& entry) { return entry.second.stored; }));
  }
  cache.insert_or_assign(std::move(key), CachedResult{std::move(result), now});
}

}  // namespace tarvik
