#pragma once

#ifdef _WIN32

#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>

#include "morva/error.hpp"
#include "winfsp/api.hpp"
#include "winfsp/file_system_context.hpp"
#include "winfsp/operation_table.hpp"

namespace varlin {

// A failed WinFsp call as an error: its NTSTATUS as an HRESULT (bit 28 set) with the system's text.
morva::Error nt_status_error(winfsp::NtStatus status);

// The WinFsp file system of one mount. It owns the file-system context and the operation table from
// its creation until it is destroyed, which unmounts, stops the dispatcher, deletes the file system
// and only then releases the context and the table.
class WinFspHost {
 public:
  // Creates the file system over `context` (a FileSystemContext); a failure releases the context.
  template <typename Context>
  static morva::Result<std::unique_ptr<WinFspHost>> create(
      winfsp::WinFspApi& winfsp, std::unique_ptr<Context> context,
      const winfsp::FSP_FSCTL_VOLUME_PARAMS& volume_params, std::uint32_t debug_log_mask) {
    using File = typename Context::File;
    static_assert(std::is_base_of_v<filesystem::FileSystemContext<File>, Context>);
    return create(winfsp, std::unique_ptr<filesystem::FileSystemContextBase>(std::move(context)),
                  filesystem::operation_table<File>(), volume_params, debug_log_mask);
  }

  WinFspHost(const WinFspHost&) = delete;
  WinFspHost& operator=(const WinFspHost&) = delete;
  ~WinFspHost();

  // A drive letter ("Z:") or a directory; an empty text is passed on as it is.
  morva::Result<void> set_mount_point(std::string_view mount_point);
  // From here on WinFsp calls the operations on its own threads.
  morva::Result<void> start_dispatcher();
  // The first step of a stop, while the dispatcher still runs: see
  // FileSystemContextBase::keep_unsaved_texts.
  void keep_unsaved_texts() { context_->keep_unsaved_texts(); }
  // Returns once the dispatcher's threads have ended; repeating it does nothing.
  void stop_dispatcher();
  void remove_mount_point();

 private:
  WinFspHost(winfsp::WinFspApi& winfsp, std::unique_ptr<filesystem::FileSystemContextBase> context,
             const winfsp::FSP_FILE_SYSTEM_INTERFACE& table);

  static morva::Result<std::unique_ptr<WinFspHost>> create(
      winfsp::WinFspApi& winfsp, std::unique_ptr<filesystem::FileSystemContextBase> context,
      const winfsp::FSP_FILE_SYSTEM_INTERFACE& table, const winfsp::FSP_FSCTL_VOLUME_PARAMS& volume_params,
      std::uint32_t debug_log_mask);

  winfsp::WinFspApi& winfsp_;
  std::unique_ptr<winfsp::FSP_FILE_SYSTEM_INTERFACE> table_;
  std::unique_ptr<filesystem::FileSystemContextBase> context_;
  filesystem::OperationTarget target_;
  winfsp::FSP_FILE_SYSTEM* file_system_ = nullptr;
};

}  // namespace varlin

#endif
