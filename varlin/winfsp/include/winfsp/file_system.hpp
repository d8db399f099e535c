#pragma once

// WinFsp's file-system object and its operation table, as the x64 winfsp-x64.dll sees them. On x64
// every Windows calling convention is the same one, so plain function pointers match the DLL's.

#include <cstddef>
#include <cstdint>

#include "winfsp/nt_status.hpp"
#include "winfsp/records.hpp"

namespace varlin::winfsp {

// Passed through only; the mount never looks inside.
struct IO_STATUS_BLOCK;
struct FILE_FULL_EA_INFORMATION;

// The leading fields of WinFsp's file-system object; the rest is WinFsp's own.
struct FSP_FILE_SYSTEM {
  std::uint16_t Version;
  void* UserContext;
};
static_assert(offsetof(FSP_FILE_SYSTEM, UserContext) == 8);

enum FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY : std::int32_t {
  FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY_FINE = 0,
  FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY_COARSE = 1,
};

// Cleanup's Flags.
constexpr std::uint32_t kFspCleanupDelete = 0x01;
constexpr std::uint32_t kFspCleanupSetArchiveBit = 0x10;
constexpr std::uint32_t kFspCleanupSetLastWriteTime = 0x40;
constexpr std::uint32_t kFspCleanupSetChangeTime = 0x80;

using Boolean = std::uint8_t;  // BOOLEAN: 0 or 1

// Asks a file system whether a name is a reparse point, for FspFileSystemResolveReparsePoints.
using GetReparsePointByName = NtStatus (*)(FSP_FILE_SYSTEM* file_system, void* context, char16_t* file_name,
                                           Boolean is_directory, void* buffer, std::uint64_t* size);

// The 64 slots, in WinFsp's order; a null slot is an operation the file system does not serve.
struct FSP_FILE_SYSTEM_INTERFACE {
  NtStatus (*GetVolumeInfo)(FSP_FILE_SYSTEM*, FSP_FSCTL_VOLUME_INFO* VolumeInfo);
  // WinFsp's SetVolumeLabel; <windows.h> takes that name for a macro.
  NtStatus (*SetVolumeLabel_)(FSP_FILE_SYSTEM*, char16_t* VolumeLabel, FSP_FSCTL_VOLUME_INFO* VolumeInfo);
  NtStatus (*GetSecurityByName)(FSP_FILE_SYSTEM*, char16_t* FileName, std::uint32_t* PFileAttributes,
                                void* SecurityDescriptor, std::uint64_t* PSecurityDescriptorSize);
  NtStatus (*Create)(FSP_FILE_SYSTEM*, char16_t* FileName, std::uint32_t CreateOptions,
                     std::uint32_t GrantedAccess, std::uint32_t FileAttributes, void* SecurityDescriptor,
                     std::uint64_t AllocationSize, void** PFileContext, FSP_FSCTL_FILE_INFO* FileInfo);
  NtStatus (*Open)(FSP_FILE_SYSTEM*, char16_t* FileName, std::uint32_t CreateOptions,
                   std::uint32_t GrantedAccess, void** PFileContext, FSP_FSCTL_FILE_INFO* FileInfo);
  NtStatus (*Overwrite)(FSP_FILE_SYSTEM*, void* FileContext, std::uint32_t FileAttributes,
                        Boolean ReplaceFileAttributes, std::uint64_t AllocationSize,
                        FSP_FSCTL_FILE_INFO* FileInfo);
  void (*Cleanup)(FSP_FILE_SYSTEM*, void* FileContext, char16_t* FileName, std::uint32_t Flags);
  void (*Close)(FSP_FILE_SYSTEM*, void* FileContext);
  NtStatus (*Read)(FSP_FILE_SYSTEM*, void* FileContext, void* Buffer, std::uint64_t Offset,
                   std::uint32_t Length, std::uint32_t* PBytesTransferred);
  NtStatus (*Write)(FSP_FILE_SYSTEM*, void* FileContext, void* Buffer, std::uint64_t Offset,
                    std::uint32_t Length, Boolean WriteToEndOfFile, Boolean ConstrainedIo,
                    std::uint32_t* PBytesTransferred, FSP_FSCTL_FILE_INFO* FileInfo);
  NtStatus (*Flush)(FSP_FILE_SYSTEM*, void* FileContext, FSP_FSCTL_FILE_INFO* FileInfo);
  NtStatus (*GetFileInfo)(FSP_FILE_SYSTEM*, void* FileContext, FSP_FSCTL_FILE_INFO* FileInfo);
  NtStatus (*SetBasicInfo)(FSP_FILE_SYSTEM*, void* FileContext, std::uint32_t FileAttributes,
                           std::uint64_t CreationTime, std::uint64_t LastAccessTime,
                           std::uint64_t LastWriteTime, std::uint64_t ChangeTime,
                           FSP_FSCTL_FILE_INFO* FileInfo);
  NtStatus (*SetFileSize)(FSP_FILE_SYSTEM*, void* FileContext, std::uint64_t NewSize,
                          Boolean SetAllocationSize, FSP_FSCTL_FILE_INFO* FileInfo);
  NtStatus (*CanDelete)(FSP_FILE_SYSTEM*, void* FileContext, char16_t* FileName);
  NtStatus (*Rename)(FSP_FILE_SYSTEM*, void* FileContext, char16_t* FileName, char16_t* NewFileName,
                     Boolean ReplaceIfExists);
  NtStatus (*GetSecurity)(FSP_FILE_SYSTEM*, void* FileContext, void* SecurityDescriptor,
                          std::uint64_t* PSecurityDescriptorSize);
  NtStatus (*SetSecurity)(FSP_FILE_SYSTEM*, void* FileContext, std::uint32_t SecurityInformation,
                          void* ModificationDescriptor);
  NtStatus (*ReadDirectory)(FSP_FILE_SYSTEM*, void* FileContext, char16_t* Pattern, char16_t* Marker,
                            void* Buffer, std::uint32_t Length, std::uint32_t* PBytesTransferred);
  NtStatus (*ResolveReparsePoints)(FSP_FILE_SYSTEM*, char16_t* FileName, std::uint32_t ReparsePointIndex,
                                   Boolean ResolveLastPathComponent, IO_STATUS_BLOCK* PIoStatus, void* Buffer,
                                   std::uint64_t* PSize);
  NtStatus (*GetReparsePoint)(FSP_FILE_SYSTEM*, void* FileContext, char16_t* FileName, void* Buffer,
                              std::uint64_t* PSize);
  NtStatus (*SetReparsePoint)(FSP_FILE_SYSTEM*, void* FileContext, char16_t* FileName, void* Buffer,
                              std::uint64_t Size);
  NtStatus (*DeleteReparsePoint)(FSP_FILE_SYSTEM*, void* FileContext, char16_t* FileName, void* Buffer,
                                 std::uint64_t Size);
  NtStatus (*GetStreamInfo)(FSP_FILE_SYSTEM*, void* FileContext, void* Buffer, std::uint32_t Length,
                            std::uint32_t* PBytesTransferred);
  NtStatus (*GetDirInfoByName)(FSP_FILE_SYSTEM*, void* FileContext, char16_t* FileName,
                               FSP_FSCTL_DIR_INFO* DirInfo);
  NtStatus (*Control)(FSP_FILE_SYSTEM*, void* FileContext, std::uint32_t ControlCode, void* InputBuffer,
                      std::uint32_t InputBufferLength, void* OutputBuffer, std::uint32_t OutputBufferLength,
                      std::uint32_t* PBytesTransferred);
  NtStatus (*SetDelete)(FSP_FILE_SYSTEM*, void* FileContext, char16_t* FileName, Boolean Delete);
  NtStatus (*CreateEx)(FSP_FILE_SYSTEM*, char16_t* FileName, std::uint32_t CreateOptions,
                       std::uint32_t GrantedAccess, std::uint32_t FileAttributes, void* SecurityDescriptor,
                       std::uint64_t AllocationSize, void* ExtraBuffer, std::uint32_t ExtraLength,
                       Boolean ExtraBufferIsReparsePoint, void** PFileContext, FSP_FSCTL_FILE_INFO* FileInfo);
  NtStatus (*OverwriteEx)(FSP_FILE_SYSTEM*, void* FileContext, std::uint32_t FileAttributes,
                          Boolean ReplaceFileAttributes, std::uint64_t AllocationSize,
                          FILE_FULL_EA_INFORMATION* Ea, std::uint32_t EaLength,
                          FSP_FSCTL_FILE_INFO* FileInfo);
  NtStatus (*GetEa)(FSP_FILE_SYSTEM*, void* FileContext, FILE_FULL_EA_INFORMATION* Ea, std::uint32_t EaLength,
                    std::uint32_t* PBytesTransferred);
  NtStatus (*SetEa)(FSP_FILE_SYSTEM*, void* FileContext, FILE_FULL_EA_INFORMATION* Ea, std::uint32_t EaLength,
                    FSP_FSCTL_FILE_INFO* FileInfo);
  NtStatus (*Obsolete0)();
  void (*DispatcherStopped)(FSP_FILE_SYSTEM*, Boolean Normally);
  NtStatus (*Reserved[31])();
};
static_assert(sizeof(FSP_FILE_SYSTEM_INTERFACE) == 64 * sizeof(void*));
static_assert(sizeof(void*) == 8, "WinFsp's x64 layout");
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, GetVolumeInfo) == 0 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, SetVolumeLabel_) == 1 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, GetSecurityByName) == 2 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Create) == 3 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Open) == 4 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Overwrite) == 5 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Cleanup) == 6 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Close) == 7 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Read) == 8 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Write) == 9 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Flush) == 10 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, GetFileInfo) == 11 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, SetBasicInfo) == 12 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, SetFileSize) == 13 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, CanDelete) == 14 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Rename) == 15 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, GetSecurity) == 16 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, SetSecurity) == 17 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, ReadDirectory) == 18 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, ResolveReparsePoints) == 19 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, GetReparsePoint) == 20 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, SetReparsePoint) == 21 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, DeleteReparsePoint) == 22 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, GetStreamInfo) == 23 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, GetDirInfoByName) == 24 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Control) == 25 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, SetDelete) == 26 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, CreateEx) == 27 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, OverwriteEx) == 28 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, GetEa) == 29 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, SetEa) == 30 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Obsolete0) == 31 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, DispatcherStopped) == 32 * 8);
static_assert(offsetof(FSP_FILE_SYSTEM_INTERFACE, Reserved) == 33 * 8);

}  // namespace varlin::winfsp
