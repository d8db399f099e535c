#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varlin::metadata_pipe {

inline constexpr std::string_view kPipeNamePrefix = R"(\\.\pipe\VARLIN.Metadata.)";

// The mount id as the pipe name and the replies carry it: eight upper-case hexadecimal digits.
std::string mount_id_text(std::uint32_t mount_id);

// The name of the pipe that the mount with this id serves.
std::string metadata_pipe_name(std::uint32_t mount_id);

}  // namespace varlin::metadata_pipe
