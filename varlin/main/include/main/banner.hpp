#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "main/command_line/command_line.hpp"

namespace varlin {

// The three lines printed once the drive is mounted: what is mounted where, the mount id with its
// metadata pipe, and how to stop. `remote_root` is the normalised root.
std::string mount_banner(const Args& args, std::string_view remote_root, std::uint32_t mount_id);

}  // namespace varlin
