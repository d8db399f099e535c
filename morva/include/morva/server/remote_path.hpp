#pragma once

#include <string>
#include <string_view>

#include "morva/error.hpp"

namespace morva::server {

// The form every file-service operation sends: trimmed of white space, '/' separators, one leading
// '/', no trailing '/'. Doubled separators, "." and ".." stay.
std::string normalize_remote_path(std::string_view path);

// Refuses the IFS root ("/", as normalize_remote_path gives it) for operations that change something.
Result<void> ensure_not_root(std::string_view normalized_path);

// True for a path that reaches a member of the library file system, however it is spelled: read as
// the IBM i follows it (empty and "." steps skipped, ".." back one step), it lies under "QSYS.LIB" and
// its last step ends with ".MBR" or it lies inside a "*.FILE" of a library, all in any ASCII case. A
// path ending in '/' is none. The one test of every request that must not treat a member as a stream.
bool is_source_member_path(std::string_view path);

}  // namespace morva::server
