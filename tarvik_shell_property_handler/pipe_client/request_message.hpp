#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik {

// The metadata pipe protocol's version, in requests and replies.
inline constexpr std::uint32_t kProtocolVersion = 1;

// The one request line asking a mount for a file's properties: the compact JSON object
// {"version":1,"method":"getFileProperties","path":...} and a line feed. The path is valid UTF-8.
std::string request_message(std::string_view relative_path);

// "\\.\pipe\VARLIN.Metadata." and the mount id as eight upper-case hexadecimal digits.
std::string metadata_pipe_name(std::uint32_t mount_id);

}  // namespace tarvik
