#pragma once

#include <cstdint>

#include "morva/command/receivers.hpp"
#include "shared/clock.hpp"

namespace varlin::filesystem {

// The system ASP's total and free bytes, and when they were read.
struct VolumeSpace {
  std::uint64_t total = 0;
  std::uint64_t free = 0;
  MonotonicTime fetched_at{};
};

// Total = the system ASP in bytes; free = total less the used share (millionths), never below 0.
VolumeSpace volume_space_of(const morva::command::SystemStorage& storage, MonotonicTime now);

}  // namespace varlin::filesystem
