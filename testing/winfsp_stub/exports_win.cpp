// The exports of the stand-in winfsp-x64.dll: each forwards to the process's StubWinFsp; starting the
// dispatcher also opens the control pipe named after the mount point.

#include <windows.h>

#include <cwctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

#include "control_server_win.hpp"
#include "stub_winfsp.hpp"
#include "winfsp/exports.hpp"

namespace {

using namespace varlin::winfsp;

void write_debug_log(void* handle, std::string_view line) {
  const std::string text = std::string(line) + "\n";
  DWORD written = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
      !WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
    OutputDebugStringA(text.c_str());
}

bool is_drive_letter(std::u16string_view mount_point) {
  return mount_point.size() == 2 && mount_point[1] == u':' && std::iswalpha(mount_point[0]);
}

// A drive letter that exists, or a mount point that another mount in any process holds, is taken.
std::expected<std::shared_ptr<void>, NtStatus> claim_mount_point(std::u16string_view mount_point) {
  if (is_drive_letter(mount_point) &&
      (GetLogicalDrives() & (1u << (std::towupper(mount_point[0]) - L'A'))) != 0)
    return std::unexpected(kStatusObjectNameCollision);
  std::wstring name = L"Local\\winfsp-stub.mount.";
  for (const char16_t unit : mount_point) name.push_back(unit == u'\\' ? L'/' : std::towupper(unit));
  HANDLE claim = CreateMutexW(nullptr, FALSE, name.c_str());
  if (claim == nullptr) return std::unexpected(kStatusObjectNameCollision);
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(claim);
    return std::unexpected(kStatusObjectNameCollision);
  }
  return std::shared_ptr<void>(claim, CloseHandle);
}

winfsp_stub::StubWinFsp& stub() {
  static winfsp_stub::StubWinFsp instance(winfsp_stub::StubPlatform{write_debug_log, claim_mount_point});
  return instance;
}

std::mutex servers_mutex;
std::map<FSP_FILE_SYSTEM*, std::unique_ptr<winfsp_stub::ControlServer>> servers;

void stop_control_server(FSP_FILE_SYSTEM* file_system) {
  std::unique_ptr<winfsp_stub::ControlServer> server;
  {
    std::lock_guard lock(servers_mutex);
    if (const auto found = servers.find(file_system); found != servers.end()) {
      server = std::move(found->second);
      servers.erase(found);
    }
  }
}

}  // namespace

extern "C" {

__declspec(dllexport) NtStatus
    FspFileSystemCreate(char16_t* DevicePath, const FSP_FSCTL_VOLUME_PARAMS* VolumeParams,
                        const FSP_FILE_SYSTEM_INTERFACE* Interface, FSP_FILE_SYSTEM** PFileSystem) {
  if (VolumeParams == nullptr || Interface == nullptr || PFileSystem == nullptr)
    return kStatusInvalidParameter;
  return stub().file_system_create(DevicePath, *VolumeParams, *Interface, PFileSystem);
}

__declspec(dllexport) void FspFileSystemDelete(FSP_FILE_SYSTEM* FileSystem) {
  stop_control_server(FileSystem);
  stub().file_system_delete(FileSystem);
}

__declspec(dllexport) void FspFileSystemSetOperationGuardStrategyF(
    FSP_FILE_SYSTEM* FileSystem, FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY GuardStrategy) {
  stub().set_operation_guard_strategy(FileSystem, GuardStrategy);
}

__declspec(dllexport) NtStatus FspFileSystemSetMountPoint(FSP_FILE_SYSTEM* FileSystem, char16_t* MountPoint) {
  return stub().set_mount_point(FileSystem, MountPoint);
}

__declspec(dllexport) void FspFileSystemRemoveMountPoint(FSP_FILE_SYSTEM* FileSystem) {
  stub().remove_mount_point(FileSystem);
}

__declspec(dllexport) NtStatus
    FspFileSystemStartDispatcher(FSP_FILE_SYSTEM* FileSystem, std::uint32_t ThreadCount) {
  const NtStatus started = stub().start_dispatcher(FileSystem, ThreadCount);
  if (started < 0) return started;
  auto server = std::make_unique<winfsp_stub::ControlServer>(
      stub(), FileSystem, winfsp_stub::control_pipe_name(stub().mount_point(FileSystem)));
  std::lock_guard lock(servers_mutex);
  servers[FileSystem] = std::move(server);
  return started;
}

__declspec(dllexport) void FspFileSystemStopDispatcher(FSP_FILE_SYSTEM* FileSystem) {
  stop_control_server(FileSystem);
  stub().stop_dispatcher(FileSystem);
}

__declspec(dllexport) Boolean
    FspFileSystemAddDirInfo(FSP_FSCTL_DIR_INFO* DirInfo, void* Buffer, std::uint32_t Length,
                            std::uint32_t* PBytesTransferred) {
  return stub().add_dir_info(DirInfo, Buffer, Length, PBytesTransferred) ? 1 : 0;
}

__declspec(dllexport) NtStatus
    FspFileSystemResolveReparsePoints(FSP_FILE_SYSTEM* FileSystem, GetReparsePointByName ByName,
                                      void* Context, char16_t* FileName, std::uint32_t ReparsePointIndex,
                                      Boolean ResolveLastPathComponent, IO_STATUS_BLOCK* PIoStatus,
                                      void* Buffer, std::uint64_t* PSize) {
  return stub().resolve_reparse_points(FileSystem, ByName, Context, FileName, ReparsePointIndex,
                                       ResolveLastPathComponent != 0, PIoStatus, Buffer, PSize);
}

__declspec(dllexport) void FspFileSystemStopServiceIfNecessary(FSP_FILE_SYSTEM* FileSystem,
                                                               Boolean Normally) {
  stub().stop_service_if_necessary(FileSystem, Normally != 0);
}

__declspec(dllexport) NtStatus FspNtStatusFromWin32(std::uint32_t Error) {
  return stub().nt_status_from_win32(Error);
}

__declspec(dllexport) void FspDebugLogSetHandle(void* Handle) {
  stub().debug_log_set_handle(Handle);
}

__declspec(dllexport) void FspFileSystemSetDebugLogF(FSP_FILE_SYSTEM* FileSystem, std::uint32_t DebugLog) {
  stub().set_debug_log(FileSystem, DebugLog);
}

}  // extern "C"

// The exports have the signatures the mount's loader calls them with.
static_assert(std::is_same_v<decltype(FspFileSystemCreate), FspFileSystemCreateFunction>);
static_assert(std::is_same_v<decltype(FspFileSystemDelete), FspFileSystemDeleteFunction>);
static_assert(std::is_same_v<decltype(FspFileSystemSetOperationGuardStrategyF),
                             FspFileSystemSetOperationGuardStrategyFFunction>);
static_assert(std::is_same_v<decltype(FspFileSystemSetMountPoint), FspFileSystemSetMountPointFunction>);
static_assert(std::is_same_v<decltype(FspFileSystemRemoveMountPoint), FspFileSystemRemoveMountPointFunction>);
static_assert(std::is_same_v<decltype(FspFileSystemStartDispatcher), FspFileSystemStartDispatcherFunction>);
static_assert(std::is_same_v<decltype(FspFileSystemStopDispatcher), FspFileSystemStopDispatcherFunction>);
static_assert(std::is_same_v<decltype(FspFileSystemAddDirInfo), FspFileSystemAddDirInfoFunction>);
static_assert(
    std::is_same_v<decltype(FspFileSystemResolveReparsePoints), FspFileSystemResolveReparsePointsFunction>);
static_assert(std::is_same_v<decltype(FspFileSystemStopServiceIfNecessary),
                             FspFileSystemStopServiceIfNecessaryFunction>);
static_assert(std::is_same_v<decltype(FspNtStatusFromWin32), FspNtStatusFromWin32Function>);
static_assert(std::is_same_v<decltype(FspDebugLogSetHandle), FspDebugLogSetHandleFunction>);
static_assert(std::is_same_v<decltype(FspFileSystemSetDebugLogF), FspFileSystemSetDebugLogFFunction>);
