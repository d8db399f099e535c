#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "control_request.hpp"
#include "winfsp/api.hpp"

namespace winfsp_stub {

// Where the platform has a say: writing the debug log to its handle, and claiming a mount point
// (refused with a negative status when it is taken). A claim is released when its token goes.
struct StubPlatform {
  std::function<void(void* handle, std::string_view line)> write_debug_log;
  std::function<std::expected<std::shared_ptr<void>, varlin::winfsp::NtStatus>(
      std::u16string_view mount_point)>
      claim_mount_point;
};

// A stand-in for WinFsp that runs a file system's operation table on its own dispatcher threads and
// takes its requests from control requests instead of the kernel. StartDispatcher starts the threads;
// StopDispatcher (or a "stop" request) ends them, and the last one to end runs the DispatcherStopped
// slot as WinFsp does.
class StubWinFsp final : public varlin::winfsp::WinFspApi {
 public:
  explicit StubWinFsp(StubPlatform platform = {});

  using NtStatus = varlin::winfsp::NtStatus;
  using FSP_FILE_SYSTEM = varlin::winfsp::FSP_FILE_SYSTEM;

  NtStatus file_system_create(const char16_t* device_path,
                              const varlin::winfsp::FSP_FSCTL_VOLUME_PARAMS& volume_params,
                              const varlin::winfsp::FSP_FILE_SYSTEM_INTERFACE& table,
                              FSP_FILE_SYSTEM** file_system) override;
  void file_system_delete(FSP_FILE_SYSTEM* file_system) override;
  void set_operation_guard_strategy(
      FSP_FILE_SYSTEM* file_system,
      varlin::winfsp::FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY strategy) override;
  NtStatus set_mount_point(FSP_FILE_SYSTEM* file_system, const char16_t* mount_point) override;
  void remove_mount_point(FSP_FILE_SYSTEM* file_system) override;
  NtStatus start_dispatcher(FSP_FILE_SYSTEM* file_system, std::uint32_t thread_count) override;
  void stop_dispatcher(FSP_FILE_SYSTEM* file_system) override;
  bool add_dir_info(const varlin::winfsp::FSP_FSCTL_DIR_INFO* dir_info, void* buffer, std::uint32_t length,
                    std::uint32_t* bytes_transferred) override;
  NtStatus resolve_reparse_points(FSP_FILE_SYSTEM* file_system, varlin::winfsp::GetReparsePointByName by_name,
                                  void* context, const char16_t* file_name, std::uint32_t reparse_point_index,
                                  bool resolve_last_path_component,
                                  varlin::winfsp::IO_STATUS_BLOCK* io_status, void* buffer,
                                  std::uint64_t* size) override;
  void stop_service_if_necessary(FSP_FILE_SYSTEM* file_system, bool normally) override;
  NtStatus nt_status_from_win32(std::uint32_t error) override;
  void debug_log_set_handle(void* handle) override;
  void set_debug_log(FSP_FILE_SYSTEM* file_system, std::uint32_t mask) override;

  // Runs a control request on one of the file system's dispatcher threads. "stop" answers and then
  // ends the dispatcher as if WinFsp had ended it. Without a running dispatcher the reply is an error.
  std::future<std::string> submit(FSP_FILE_SYSTEM* file_system, ControlRequest request);

  // The mount point set last (empty when none is set).
  std::u16string mount_point(FSP_FILE_SYSTEM* file_system) const;

  // Whether the dispatcher's threads run and take requests.
  bool dispatcher_running(FSP_FILE_SYSTEM* file_system) const;

  // The Normally flags that StopServiceIfNecessary received, in order.
  std::vector<bool> stop_service_calls() const;

 private:
  void write_debug_log(std::string_view line);

  StubPlatform platform_;
  mutable std::mutex mutex_;
  void* debug_log_handle_ = nullptr;
  std::vector<bool> stop_service_calls_;
};

}  // namespace winfsp_stub
