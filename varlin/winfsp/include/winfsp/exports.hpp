#pragma once

// The C signatures of the winfsp-x64.dll exports the mount calls.

#include <cstdint>

#include "winfsp/file_system.hpp"

namespace varlin::winfsp {

using FspFileSystemCreateFunction = NtStatus(char16_t* DevicePath,
                                             const FSP_FSCTL_VOLUME_PARAMS* VolumeParams,
                                             const FSP_FILE_SYSTEM_INTERFACE* Interface,
                                             FSP_FILE_SYSTEM** PFileSystem);
using FspFileSystemDeleteFunction = void(FSP_FILE_SYSTEM* FileSystem);
using FspFileSystemSetOperationGuardStrategyFFunction =
    void(FSP_FILE_SYSTEM* FileSystem, FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY GuardStrategy);
using FspFileSystemSetMountPointFunction = NtStatus(FSP_FILE_SYSTEM* FileSystem, char16_t* MountPoint);
using FspFileSystemRemoveMountPointFunction = void(FSP_FILE_SYSTEM* FileSystem);
using FspFileSystemStartDispatcherFunction = NtStatus(FSP_FILE_SYSTEM* FileSystem, std::uint32_t ThreadCount);
using FspFileSystemStopDispatcherFunction = void(FSP_FILE_SYSTEM* FileSystem);
// False when the record (or, without one, the end marker) does not fit.
using FspFileSystemAddDirInfoFunction = Boolean(FSP_FSCTL_DIR_INFO* DirInfo, void* Buffer,
                                                std::uint32_t Length, std::uint32_t* PBytesTransferred);
using FspFileSystemResolveReparsePointsFunction =
    NtStatus(FSP_FILE_SYSTEM* FileSystem, GetReparsePointByName ByName, void* Context, char16_t* FileName,
             std::uint32_t ReparsePointIndex, Boolean ResolveLastPathComponent, IO_STATUS_BLOCK* PIoStatus,
             void* Buffer, std::uint64_t* PSize);
using FspFileSystemStopServiceIfNecessaryFunction = void(FSP_FILE_SYSTEM* FileSystem, Boolean Normally);
using FspNtStatusFromWin32Function = NtStatus(std::uint32_t Error);
using FspDebugLogSetHandleFunction = void(void* Handle);
using FspFileSystemSetDebugLogFFunction = void(FSP_FILE_SYSTEM* FileSystem, std::uint32_t DebugLog);

}  // namespace varlin::winfsp
