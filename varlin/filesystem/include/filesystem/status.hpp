#pragma once

#include <expected>

#include "morva/error.hpp"
#include "winfsp/nt_status.hpp"

namespace varlin::filesystem {

using winfsp::NtStatus;

// A value, or the NTSTATUS the mount answers instead.
template <typename T>
using StatusResult = std::expected<T, NtStatus>;

inline constexpr std::string_view kLogTarget = "varlin::filesystem";

// The Windows status of an IBM i error: by the file server's return code that it carries, else by a
// phrase among the message's own words (never inside a path or a quoted value).
NtStatus map_ifs_error(const morva::Error& error);

// Whether the status says that the object or a folder of its path is not there.
bool is_not_found(NtStatus status);

// Refuses a path of a source member, in any spelling: members are neither created nor moved through
// the mount, and never opened but as their text.
StatusResult<void> reject_source_member_path(std::string_view path);

}  // namespace varlin::filesystem
