#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "pipe_client/metadata_response.hpp"

namespace tarvik {

using MonotonicClock = std::chrono::steady_clock;

// Answers are used while younger than this, in whole seconds.
inline constexpr std::chrono::seconds kResultLifetime{30};
// An insert first makes room when this many entries remain.
inline constexpr std::size_t kResultCacheCapacity = 2048;

struct ResultCacheKey {
  std::uint32_t serial = 0;  // the volume serial number, that is the mount id
  std::string path;          // the relative request path, ASCII letters in lower case

  auto operator<=>(const ResultCacheKey&) const = default;
};

ResultCacheKey result_cache_key(std::uint32_t serial, std::string_view relative_path);

struct CachedResult {
  MetadataResult result;
  MonotonicClock::time_point stored;
};

using ResultCache = std::map<ResultCacheKey, CachedResult>;

// A copy of the key's result while it is fresh; a stale entry is removed. The stored time is kept.
std::optional<MetadataResult> find_cached_result(ResultCache& cache, const ResultCacheKey& key,
                                                 MonotonicClock::time_point now);

// Removes stale entries, then the oldest one when the cache is full, and stores the result at `now`.
void insert_cached_result(ResultCache& cache, ResultCacheKey key, MetadataResult result,
                          MonotonicClock::time_point now);

}  // namespace tarvik
