#include "pipe_client/fetch_file_properties.hpp"

#include "pipe_client/ascii.hpp"
#include "pipe_client/ibmi_type_extensions.hpp"
#include "pipe_client/relative_request_path.hpp"
#include "pipe_client/request_message.hpp"

namespace tarvik {

namespace {

constexpr std::string_view kInvalidRequest = "invalidRequest";

struct VolumeLocation {
  std::string root;
  std::string relative_path;
};

// "C:\..." and "C:/..." are looked up on the drive's root, so a directory mount point on a lettered
// drive is not found this way; any other form asks the system for the volume's root.
std::optional<VolumeLocation> locate_on_volume(const std::string& path, SystemAccess& system) {
  if (path.size() >= 3 && is_ascii_letter(path[0]) && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
    auto relative = relative_request_path(path);
    if (!relative) return std::nullopt;
    return VolumeLocation{{path[0], ':', '\\'}, std::move(*relative)};
  }
  auto root = system.volume_path_name(path);
  if (!root) return std::nullopt;
  auto relative = relative_request_path_below(path, *root);
  if (!relative) return std::nullopt;
  return VolumeLocation{std::move(*root), std::move(*relative)};
}

enum class Verdict { answer, retry, no_answer };

Verdict judge(const MetadataResponse& response, std::uint32_t mount_id) {
  if (response.version != kProtocolVersion || parse_mount_id(response.mount_id) != mount_id)
    return Verdict::no_answer;
  if (response.ok) return response.result ? Verdict::answer : Verdict::no_answer;
  return response.code == kInvalidRequest ? Verdict::retry : Verdict::no_answer;
}

// One request, repeated once on a new connection when the mount calls it invalid.
std::optional<MetadataResult> ask_mount(std::uint32_t mount_id, const std::string& message,
                                        SystemAccess& system) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const auto bytes = system.exchange(mount_id, message);
    if (!bytes) return std::nullopt;
    const auto line = reply_line(*bytes);
    if (line.empty()) return std::nullopt;
    auto response = read_metadata_response(line);
    if (!response) return std::nullopt;
    switch (judge(*response, mount_id)) {
      case Verdict::answer: return std::move(response->result);
      case Verdict::retry: continue;
      case Verdict::no_answer: return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<MetadataResult> fetch_file_properties(const std::string& path, SystemAccess& system,
                                                    SharedResultCache& cache) {
  if (!has_ibmi_type_extension(path)) return std::nullopt;
  const auto location = locate_on_volume(path, system);
  if (!location) return std::nullopt;
  const auto serial = system.volume_serial_number(location->root);
  if (!serial || *serial == 0) return std::nullopt;

  const auto key = result_cache_key(*serial, location->relative_path);
  if (auto locked = cache.lock()) {
    if (auto cached = find_cached_result(**locked, key, system.now())) return cached;
  }

  auto result = ask_mount(*serial, request_message(location->relative_path), system);
  if (!result) return std::nullopt;
  if (auto locked = cache.lock()) insert_cached_result(**locked, key, *result, system.now());
  return result;
}

}  // namespace tarvik
