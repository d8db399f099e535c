#pragma once

// What the stand-in winfsp-x64.dll does for the WinFsp functions that need no file system.

#include <cstdint>

#include "winfsp/file_system.hpp"

namespace winfsp_stub {

using varlin::winfsp::NtStatus;

// FspFileSystemAddDirInfo: appends the record (or, without one, the end marker: a zero Size) at the
// next 8-byte boundary and advances the count; false, with nothing written, when it does not fit.
bool add_dir_info(const varlin::winfsp::FSP_FSCTL_DIR_INFO* dir_info, void* buffer, std::uint32_t length,
                  std::uint32_t* bytes_transferred);

// FspNtStatusFromWin32 for the codes the mount passes; STATUS_UNSUCCESSFUL for the others.
NtStatus nt_status_from_win32(std::uint32_t error);

// FspFileSystemResolveReparsePoints: asks `by_name` about each prefix of the name, shortest first;
// STATUS_REPARSE for the first one that is a reparse point, else STATUS_OBJECT_NAME_NOT_FOUND when
// none is. The stand-in never follows one.
NtStatus resolve_reparse_points(varlin::winfsp::FSP_FILE_SYSTEM* file_system,
                                varlin::winfsp::GetReparsePointByName by_name, void* context,
                                const char16_t* file_name);

}  // namespace winfsp_stub
