#pragma once

#include <cstdint>

#include "winfsp/file_system.hpp"

namespace varlin::winfsp {

// The WinFsp functions the mount calls, one method per export (same arguments, same results). The
// loaded winfsp-x64.dll serves them on Windows; tests stand in for it.
class WinFspApi {
 public:
  virtual ~WinFspApi() = default;

  virtual NtStatus file_system_create(const char16_t* device_path,
                                      const FSP_FSCTL_VOLUME_PARAMS& volume_params,
                                      const FSP_FILE_SYSTEM_INTERFACE& table,
                                      FSP_FILE_SYSTEM** file_system) = 0;
  virtual void file_system_delete(FSP_FILE_SYSTEM* file_system) = 0;
  virtual void set_operation_guard_strategy(FSP_FILE_SYSTEM* file_system,
                                            FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY strategy) = 0;
  virtual NtStatus set_mount_point(FSP_FILE_SYSTEM* file_system, const char16_t* mount_point) = 0;
  virtual void remove_mount_point(FSP_FILE_SYSTEM* file_system) = 0;
  virtual NtStatus start_dispatcher(FSP_FILE_SYSTEM* file_system, std::uint32_t thread_count) = 0;
  virtual void stop_dispatcher(FSP_FILE_SYSTEM* file_system) = 0;
  virtual bool add_dir_info(const FSP_FSCTL_DIR_INFO* dir_info, void* buffer, std::uint32_t length,
                            std::uint32_t* bytes_transferred) = 0;
  virtual NtStatus resolve_reparse_points(FSP_FILE_SYSTEM* file_system, GetReparsePointByName by_name,
                                          void* context, const char16_t* file_name,
                                          std::uint32_t reparse_point_index, bool resolve_last_path_component,
                                          IO_STATUS_BLOCK* io_status, void* buffer, std::uint64_t* size) = 0;
  virtual void stop_service_if_necessary(FSP_FILE_SYSTEM* file_system, bool normally) = 0;
  virtual NtStatus nt_status_from_win32(std::uint32_t error) = 0;
  virtual void debug_log_set_handle(void* handle) = 0;
  virtual void set_debug_log(FSP_FILE_SYSTEM* file_system, std::uint32_t mask) = 0;
};

}  // namespace varlin::winfsp
