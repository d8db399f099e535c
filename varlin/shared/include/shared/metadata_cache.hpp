#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "morva/ifs/entry.hpp"
#include "shared/clock.hpp"
#include "shared/metadata_result.hpp"

namespace varlin::filesystem {

// The IBM i properties of members and typed objects by path, each used while younger than the
// lifetime; expired entries are dropped as the cache is used (ExpirySweep). Copies share one map, so
// the mount and its metadata pipe see the same entries. Keys fold '\' to '/' and ASCII letters to
// lower case; a stored result keeps its own path unchanged.
class MetadataCache {
 public:
  explicit MetadataCache(Lifetime ttl, MonotonicClock clock = steady_now);

  std::optional<metadata_pipe::MetadataResult> get(std::string_view path) const;
  void insert(std::string path, metadata_pipe::MetadataResult result);

  // Stores what a listing learned of one entry: `path` as the mount names it, `directory` and `name`
  // as the server does. An entry with neither member information nor an object description is skipped.
  void fill_from_listing(std::string path, std::string_view directory, std::string_view name,
                         const morva::ifs::IfsEntry& entry);

  // Renews the entries under these paths; paths without an entry are passed over.
  void touch(std::span<const std::string> paths);

  // Drops the path, under each spelling that names the same object.
  void remove(std::string_view path);
  // Drops the path and everything below it, under each of its spellings.
  void invalidate_tree(std::string_view path);

 private:
  struct Map;

  std::shared_ptr<Map> map_;
  Lifetime ttl_;
};

std::string cache_key(std::string_view path);

// The directory and the name joined by one '/'.
std::string child_path(std::string_view directory, std::string_view name);

}  // namespace varlin::filesystem
