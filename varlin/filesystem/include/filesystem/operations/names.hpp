#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "winfsp/file_system_context.hpp"

// What the read and write operations share.
namespace varlin::filesystem::operations {

inline constexpr std::string_view kWriteTarget = "varlin::filesystem::operations::write";

// A name as WinFsp passes it, without its terminating zero.
inline FileName without_terminator(FileName name) {
  if (!name.empty() && name.back() == u'\0') name.remove_suffix(1);
  return name;
}

// Create options and granted access as the events show them.
std::string hex_flags(std::uint32_t flags);

// Seconds since 1970 by the system clock, 0 before that.
std::uint64_t now_seconds();

}  // namespace varlin::filesystem::operations
