#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/poisonable.hpp"
#include "pipe_client/metadata_response.hpp"
#include "pipe_client/result_cache.hpp"

namespace tarvik {

// What asking a mount needs of the system.
class SystemAccess {
 public:
  virtual ~SystemAccess() = default;

  // The root of the volume that holds the path.
  virtual std::optional<std::string> volume_path_name(const std::string& path) = 0;
  // The serial number of the volume at the root.
  virtual std::optional<std::uint32_t> volume_serial_number(const std::string& root) = 0;
  // Writes the message to the metadata pipe of the mount and reads once: the bytes read, or nothing
  // when the pipe is missing or busy, or the write or read failed or timed out.
  virtual std::optional<std::string> exchange(std::uint32_t mount_id, const std::string& message) = 0;
  virtual MonotonicClock::time_point now() = 0;
};

using SharedResultCache = Poisonable<ResultCache>;

// The IBM i metadata of the file at `path` (a full path as the Shell gives it) from the metadata pipe of
// the mount that holds it, or from the cache of recent answers; nothing when the file has no IBM i type
// extension, is not on a mount, or the mount gives no usable answer.
std::optional<MetadataResult> fetch_file_properties(const std::string& path, SystemAccess& system,
                                                    SharedResultCache& cache);

}  // namespace tarvik
