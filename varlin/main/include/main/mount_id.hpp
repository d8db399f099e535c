#pragma once

#include <cstdint>

#include "main/command_line/command_line.hpp"

namespace varlin {

// The mount id derived from the host, the remote root as typed and the mount point, so the same mount
// gets the same id every time.
std::uint32_t default_mount_id(const Args& args);

// The `mount_id` option when given, else the derived one.
std::uint32_t chosen_mount_id(const Args& args);

}  // namespace varlin
