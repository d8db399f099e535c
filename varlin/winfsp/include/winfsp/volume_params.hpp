#pragma once

#include <cstdint>

#include "winfsp/records.hpp"

namespace varlin {

// WinFsp's information time-out for a cache lifetime: the lifetime in milliseconds, or 0xFFFFFFFF when
// that does not fit in 32 bits.
std::uint32_t info_timeout_ms(std::uint32_t cache_ttl_seconds);

// The volume parameters of a mount: its serial number is the mount id, its time-outs follow the cache
// lifetime, names are case-sensitive, deletes and renames keep the classic rules, and the file context
// WinFsp passes back is the one open gave. With the largest time-out cached data are flushed before
// Cleanup.
winfsp::FSP_FSCTL_VOLUME_PARAMS mount_volume_params(std::uint32_t mount_id, std::uint32_t cache_ttl_seconds);

// WinFsp's debug-log mask: every request kind with `verbose`, none without.
constexpr std::uint32_t debug_log_mask(bool verbose) {
  return verbose ? 0xFFFFFFFF : 0;
}

}  // namespace varlin
