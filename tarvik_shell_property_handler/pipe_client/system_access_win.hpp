#pragma once

#include <optional>
#include <string>

#include "pipe_client/fetch_file_properties.hpp"

namespace tarvik {

// The system's volumes, the mounts' metadata pipes and the monotonic clock.
class WindowsSystemAccess final : public SystemAccess {
 public:
  std::optional<std::string> volume_path_name(const std::string& path) override;
  std::optional<std::uint32_t> volume_serial_number(const std::string& root) override;
  std::optional<std::string> exchange(std::uint32_t mount_id, const std::string& message) override;
  MonotonicClock::time_point now() override;
};

// The answers of the last 30 seconds, shared by every property store of the process.
extern SharedResultCache RESULT_CACHE;

// fetch_file_properties through the system and RESULT_CACHE: what the Shell's property stores use.
std::optional<MetadataResult> fetch_file_properties(const std::string& path);

}  // namespace tarvik
