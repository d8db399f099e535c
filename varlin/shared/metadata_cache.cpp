#include "shared/metadata_cache.hpp"

#include <mutex>
#include <utility>

#include "shared/expiry_sweep.hpp"
#include "shared/object_properties.hpp"
#include "shared/spelling_map.hpp"

namespace varlin::filesystem {

using metadata_pipe::FileProperties;
using metadata_pipe::MetadataResult;

struct MetadataCache::Map {
  struct Stored {
    MetadataResult result;
    MonotonicTime stored_at;
  };

  explicit Map(MonotonicClock monotonic_clock) : clock(std::move(monotonic_clock)), sweep(clock()) {}

  MonotonicClock clock;
  std::mutex mutex;
  ExpirySweep sweep;
  SpellingMap<Stored> entries;
};

namespace {

std::optional<FileProperties> listed_properties(std::string path, const morva::ifs::IfsEntry& entry) {
  if (const auto& info = entry.member_info) {
    return FileProperties{FileProperties::Member{.path = std::move(path),
                                                 .library = info->library,
                                                 .source_file = info->source_file,
                                                 .member = info->member,
                                                 .source_type = info->source_type,
                                                 .ccsid = info->ccsid,
                                                 .record_length = info->record_length,
                                                 .description = info->description}};
  }
  if (entry.object) return FileProperties{metadata_pipe::object_properties(std::move(path), *entry.object)};
  return std::nullopt;
}

}  // namespace

MetadataCache::MetadataCache(Lifetime ttl, MonotonicClock clock)
    : map_(std::make_shared<Map>(std::move(clock))), ttl_(ttl) {}

std::optional<MetadataResult> MetadataCache::get(std::string_view path) const {
  const std::string key = cache_key(path);
  std::lock_guard lock(map_->mutex);
  const auto* found = map_->entries.find(key);
  if (!found) return std::nullopt;
  if (is_fresh(found->stored_at, map_->clock(), ttl_)) return found->result;
  map_->entries.erase_spelling(key);
  return std::nullopt;
}

void MetadataCache::insert(std::string path, MetadataResult result) {
  std::lock_guard lock(map_->mutex);
  const MonotonicTime now = map_->clock();
  map_->sweep.run_if_due(map_->entries, now, ttl_, &Map::Stored::stored_at);
  map_->entries.insert_or_assign(cache_key(path), Map::Stored{std::move(result), now});
}

void MetadataCache::fill_from_listing(std::string path, std::string_view directory, std::string_view name,
                                      const morva::ifs::IfsEntry& entry) {
  auto properties = listed_properties(child_path(directory, name), entry);
  if (!properties) return;
  std::string key_path = path;
  insert(std::move(key_path), MetadataResult{.path = std::move(path), .properties = std::move(*properties)});
}

void MetadataCache::touch(std::span<const std::string> paths) {
  const MonotonicTime now = map_->clock();
  std::lock_guard lock(map_->mutex);
  for (const auto& path : paths) {
    if (auto* found = map_->entries.find(cache_key(path))) found->stored_at = now;
  }
}

void MetadataCache::remove(std::string_view path) {
  const std::string key = cache_key(path);
  std::lock_guard lock(map_->mutex);
  map_->entries.erase_object(key);
}

void MetadataCache::invalidate_tree(std::string_view path) {
  const std::string key = cache_key(path);
  std::lock_guard lock(map_->mutex);
  map_->entries.erase_at_or_below(key);
}

std::string cache_key(std::string_view path) {
  std::string key(path);
  for (char& c : key) {
    if (c == '\\') c = '/';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

std::string child_path(std::string_view directory, std::string_view name) {
  // Trailing '/' go, so "/" itself leaves nothing before the joining '/'.
  const auto end = directory.find_last_not_of('/');
  std::string path(end == std::string_view::npos ? std::string_view() : directory.substr(0, end + 1));
  path += '/';
  path += name;
  return path;
}

}  // namespace varlin::filesystem
