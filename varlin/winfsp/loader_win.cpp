#include <windows.h>

#include <array>
#include <atomic>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>

#include "morva/log.hpp"
#include "winfsp/exports.hpp"
#include "winfsp/loader_win.hpp"

namespace varlin::winfsp {

namespace {

constexpr std::string_view kLogTarget = "varlin::filesystem";
constexpr std::wstring_view kDllName = L"winfsp-x64.dll";
constexpr std::array<const wchar_t*, 2> kInstallKeys = {L"SOFTWARE\\WOW6432Node\\WinFsp",
                                                        L"SOFTWARE\\WinFsp"};

std::optional<std::wstring> install_dir(const wchar_t* key) {
  DWORD size = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, L"InstallDir", RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::wstring value(size / sizeof(wchar_t), L'\0');
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, L"InstallDir", RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.resize(std::wcslen(value.c_str()));
  return value;
}

// Never the current directory or PATH: a library of that name planted there would run inside a process
// that holds the user's password.
HMODULE load_library() {
  constexpr DWORD kByName = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
  // A full path only; the library's own imports come from its folder or the system folder.
  constexpr DWORD kByPath = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
  if (HMODULE module = LoadLibraryExW(std::wstring(kDllName).c_str(), nullptr, kByName)) return module;
  for (const wchar_t* key : kInstallKeys) {
    std::optional<std::wstring> path = install_dir(key);
    if (!path) continue;
    if (!path->empty() && path->back() == L'\\') path->pop_back();  // the value usually ends with one
    path->append(L"\\bin\\").append(kDllName);
    if (HMODULE module = LoadLibraryExW(path->c_str(), nullptr, kByPath)) return module;
  }
  return nullptr;
}

enum Export : std::size_t {
  kCreate,
  kDelete,
  kSetOperationGuardStrategy,
  kSetMountPoint,
  kRemoveMountPoint,
  kStartDispatcher,
  kStopDispatcher,
  kAddDirInfo,
  kResolveReparsePoints,
  kStopServiceIfNecessary,
  kNtStatusFromWin32,
  kDebugLogSetHandle,
  kSetDebugLog,
  kExportCount,
};

constexpr std::array<const char*, kExportCount> kExportNames = {
    "FspFileSystemCreate",
    "FspFileSystemDelete",
    "FspFileSystemSetOperationGuardStrategyF",
    "FspFileSystemSetMountPoint",
    "FspFileSystemRemoveMountPoint",
    "FspFileSystemStartDispatcher",
    "FspFileSystemStopDispatcher",
    "FspFileSystemAddDirInfo",
    "FspFileSystemResolveReparsePoints",
    "FspFileSystemStopServiceIfNecessary",
    "FspNtStatusFromWin32",
    "FspDebugLogSetHandle",
    "FspFileSystemSetDebugLogF",
};

using AnyFunction = void (*)();

class LoadedWinFsp final : public WinFspApi {
 public:
  explicit LoadedWinFsp(HMODULE module) : module_(module) {}
  LoadedWinFsp(const LoadedWinFsp&) = delete;
  LoadedWinFsp& operator=(const LoadedWinFsp&) = delete;
  ~LoadedWinFsp() override { FreeLibrary(module_); }

  NtStatus file_system_create(const char16_t* device_path, const FSP_FSCTL_VOLUME_PARAMS& volume_params,
                              const FSP_FILE_SYSTEM_INTERFACE& table,
                              FSP_FILE_SYSTEM** file_system) override {
    return call_or<FspFileSystemCreateFunction>(kCreate, kStatusProcedureNotFound,
                                                const_cast<char16_t*>(device_path), &volume_params, &table,
                                                file_system);
  }
  void file_system_delete(FSP_FILE_SYSTEM* file_system) override {
    call<FspFileSystemDeleteFunction>(kDelete, file_system);
  }
  void set_operation_guard_strategy(FSP_FILE_SYSTEM* file_system,
                                    FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY strategy) override {
    call<FspFileSystemSetOperationGuardStrategyFFunction>(kSetOperationGuardStrategy, file_system, strategy);
  }
  NtStatus set_mount_point(FSP_FILE_SYSTEM* file_system, const char16_t* mount_point) override {
    return call_or<FspFileSystemSetMountPointFunction>(kSetMountPoint, kStatusProcedureNotFound, file_system,
                                                       const_cast<char16_t*>(mount_point));
  }
  void remove_mount_point(FSP_FILE_SYSTEM* file_system) override {
    call<FspFileSystemRemoveMountPointFunction>(kRemoveMountPoint, file_system);
  }
  NtStatus start_dispatcher(FSP_FILE_SYSTEM* file_system, std::uint32_t thread_count) override {
    return call_or<FspFileSystemStartDispatcherFunction>(kStartDispatcher, kStatusProcedureNotFound,
                                                         file_system, thread_count);
  }
  void stop_dispatcher(FSP_FILE_SYSTEM* file_system) override {
    call<FspFileSystemStopDispatcherFunction>(kStopDispatcher, file_system);
  }
  bool add_dir_info(const FSP_FSCTL_DIR_INFO* dir_info, void* buffer, std::uint32_t length,
                    std::uint32_t* bytes_transferred) override {
    return call_or<FspFileSystemAddDirInfoFunction>(kAddDirInfo, Boolean{0},
                                                    const_cast<FSP_FSCTL_DIR_INFO*>(dir_info), buffer, length,
                                                    bytes_transferred) != 0;
  }
  NtStatus resolve_reparse_points(FSP_FILE_SYSTEM* file_system, GetReparsePointByName by_name, void* context,
                                  const char16_t* file_name, std::uint32_t reparse_point_index,
                                  bool resolve_last_path_component, IO_STATUS_BLOCK* io_status, void* buffer,
                                  std::uint64_t* size) override {
    return call_or<FspFileSystemResolveReparsePointsFunction>(
        kResolveReparsePoints, kStatusProcedureNotFound, file_system, by_name, context,
        const_cast<char16_t*>(file_name), reparse_point_index, Boolean{resolve_last_path_component},
        io_status, buffer, size);
  }
  void stop_service_if_necessary(FSP_FILE_SYSTEM* file_system, bool normally) override {
    call<FspFileSystemStopServiceIfNecessaryFunction>(kStopServiceIfNecessary, file_system,
                                                      Boolean{normally});
  }
  NtStatus nt_status_from_win32(std::uint32_t error) override {
    return call_or<FspNtStatusFromWin32Function>(kNtStatusFromWin32, kStatusProcedureNotFound, error);
  }
  void debug_log_set_handle(void* handle) override {
    call<FspDebugLogSetHandleFunction>(kDebugLogSetHandle, handle);
  }
  void set_debug_log(FSP_FILE_SYSTEM* file_system, std::uint32_t mask) override {
    call<FspFileSystemSetDebugLogFFunction>(kSetDebugLog, file_system, mask);
  }

 private:
  // The export, looked up on its first use; null when the library lacks it.
  template <typename Function>
  Function* bind(Export which) const {
    AnyFunction function = bound_[which].load(std::memory_order_acquire);
    if (function == nullptr) {
      function = reinterpret_cast<AnyFunction>(GetProcAddress(module_, kExportNames[which]));
      if (function == nullptr) {
        morva::log::error(kLogTarget, "WinFsp function is missing", {{"function", kExportNames[which]}});
        return nullptr;
      }
      bound_[which].store(function, std::memory_order_release);
    }
    return reinterpret_cast<Function*>(function);
  }

  template <typename Function, typename Result, typename... Arguments>
  Result call_or(Export which, Result missing, Arguments... arguments) const {
    Function* function = bind<Function>(which);
    return function != nullptr ? function(arguments...) : missing;
  }

  template <typename Function, typename... Arguments>
  void call(Export which, Arguments... arguments) const {
    if (Function* function = bind<Function>(which)) function(arguments...);
  }

  HMODULE module_;
  mutable std::array<std::atomic<AnyFunction>, kExportCount> bound_{};
};

}  // namespace

morva::Result<std::unique_ptr<WinFspApi>> load_winfsp() {
  HMODULE module = load_library();
  if (module == nullptr) {
    return std::unexpected(morva::Error::io(morva::IoErrorKind::not_found,
                                            "WinFsp is not installed or could not be loaded: WIN32_ERROR"));
  }
  return std::make_unique<LoadedWinFsp>(module);
}

}  // namespace varlin::winfsp
