#include "filesystem/volume_space.hpp"

namespace varlin::filesystem {

namespace {

constexpr std::uint64_t kMillion = 1000000;

}  // namespace

VolumeSpace volume_space_of(const morva::command::SystemStorage& storage, MonotonicTime now) {
  const std::uint64_t total = std::uint64_t{storage.system_asp} * kMillion;
  // total x millionths / 1,000,000 is exactly the ASP's millions times the millionths, which fits.
  const std::uint64_t used = std::uint64_t{storage.system_asp} * storage.system_asp_used;
  return VolumeSpace{.total = total, .free = used > total ? 0 : total - used, .fetched_at = now};
}

}  // namespace varlin::filesystem
