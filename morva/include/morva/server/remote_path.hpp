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

// True for a normalised path of a source member: "/QSYS.LIB/..." whose last component ends with
// ".MBR", both in any ASCII case.
bool is_source_member_path(std::string_view path);

}  // namespace morva::server
