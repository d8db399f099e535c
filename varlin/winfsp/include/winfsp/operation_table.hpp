#pragma once

// WinFsp's operation table over a FileSystemContext. Each slot takes WinFsp's arguments, checks the
// pointers, calls one method of the context and turns its result into an NTSTATUS; no exception leaves
// a slot. An open file reaches WinFsp as a heap cell holding the context's FileContext, released at
// Close.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "winfsp/api.hpp"
#include "winfsp/file_system.hpp"
#include "winfsp/file_system_context.hpp"

namespace varlin::filesystem {

// What WinFsp's UserContext points at while a file system is mounted.
struct OperationTarget {
  FileSystemContextBase& context;
  winfsp::WinFspApi& winfsp;
};

template <typename FileContext>
winfsp::FSP_FILE_SYSTEM_INTERFACE operation_table();

namespace detail {

using winfsp::Boolean;
using winfsp::FSP_FILE_SYSTEM;
using winfsp::FSP_FSCTL_DIR_INFO;
using winfsp::FSP_FSCTL_FILE_INFO;
using winfsp::FSP_FSCTL_VOLUME_INFO;
using winfsp::NtStatus;

// A broken promise of the caller or of the context: the call ends, the file system goes on.
struct InternalFault : std::logic_error {
  using std::logic_error::logic_error;
};

template <typename T>
T& required(T* pointer) {
  if (pointer == nullptr) throw InternalFault("WinFsp passed a null pointer");
  return *pointer;
}

OperationTarget& target_of(FSP_FILE_SYSTEM* file_system);
FileName file_name(const char16_t* name);
std::optional<FileName> optional_file_name(const char16_t* name);
winfsp::FSP_FSCTL_OPEN_FILE_INFO& open_file_info(FSP_FSCTL_FILE_INFO* info);
NtStatus status_of(const OperationResult<void>& result, const OperationTarget& target);
void report_internal_fault(std::string_view slot, std::exception_ptr fault) noexcept;

// Runs a slot's body; an exception is an internal fault, answered with STATUS_NONCONTINUABLE_EXCEPTION.
template <typename Body>
NtStatus guarded(std::string_view slot, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    report_internal_fault(slot, std::current_exception());
    return winfsp::kStatusNoncontinuableException;
  }
}

// The same for the slots that report nothing.
template <typename Body>
void guarded_void(std::string_view slot, Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
    report_internal_fault(slot, std::current_exception());
  }
}

// The slots that do not involve an open file.
NtStatus get_volume_info(FSP_FILE_SYSTEM* file_system, FSP_FSCTL_VOLUME_INFO* info);
NtStatus resolve_reparse_points(FSP_FILE_SYSTEM* file_system, char16_t* file_name, std::uint32_t index,
                                Boolean resolve_last_component, winfsp::IO_STATUS_BLOCK* io_status,
                                void* buffer, std::uint64_t* size);
NtStatus get_stream_info(FSP_FILE_SYSTEM* file_system, void* file_context, void* buffer, std::uint32_t length,
                         std::uint32_t* bytes_transferred);
void dispatcher_stopped(FSP_FILE_SYSTEM* file_system, Boolean normally);

// Any slot the file system does not support.
template <typename... Arguments>
NtStatus invalid_device_request(Arguments...) {
  return winfsp::kStatusInvalidDeviceRequest;
}

template <typename FileContext>
struct FileSlots {
  using Context = FileSystemContext<FileContext>;

  static Context& context(OperationTarget& target) { return static_cast<Context&>(target.context); }

  static const FileContext& file(void* cell) { return required(static_cast<FileContext*>(cell)); }

  // Keeps an opened file for WinFsp.
  static NtStatus hand_over(OperationResult<FileContext> opened, void** cell, const OperationTarget& target) {
    if (!opened) return nt_status_of(opened.error(), target.winfsp);
    *cell = new FileContext(std::move(*opened));
    return winfsp::kStatusSuccess;
  }

  // Answers a result with a count, written to `bytes_transferred` on success.
  static NtStatus count_of(const OperationResult<std::uint32_t>& result, std::uint32_t* bytes_transferred,
                           const OperationTarget& target) {
    if (!result) return nt_status_of(result.error(), target.winfsp);
    if (bytes_transferred != nullptr) *bytes_transferred = *result;
    return winfsp::kStatusSuccess;
  }

  static NtStatus get_security_by_name(FSP_FILE_SYSTEM* file_system, char16_t* name,
                                       std::uint32_t* attributes, void* /*security_descriptor*/,
                                       std::uint64_t* descriptor_size) {
    return guarded("GetSecurityByName", [&] {
      OperationTarget& target = target_of(file_system);
      const OperationResult<std::uint32_t> found = context(target).get_security_by_name(file_name(name));
      if (!found) return nt_status_of(found.error(), target.winfsp);
      if (attributes != nullptr) *attributes = *found;
      if (descriptor_size != nullptr) *descriptor_size = 0;
      return winfsp::kStatusSuccess;
    });
  }

  static NtStatus open(FSP_FILE_SYSTEM* file_system, char16_t* name, std::uint32_t create_options,
                       std::uint32_t granted_access, void** cell, FSP_FSCTL_FILE_INFO* info) {
    return guarded("Open", [&] {
      OperationTarget& target = target_of(file_system);
      required(cell);
      return hand_over(
          context(target).open(file_name(name), create_options, granted_access, open_file_info(info)), cell,
          target);
    });
  }

  static void cleanup(FSP_FILE_SYSTEM* file_system, void* cell, char16_t* /*name*/, std::uint32_t flags) {
    guarded_void("Cleanup", [&] { context(target_of(file_system)).cleanup(file(cell), flags); });
  }

  static void close(FSP_FILE_SYSTEM* file_system, void* cell) {
    guarded_void("Close", [&] {
      if (cell == nullptr) return;
      // The cell goes whatever happens below.
      std::unique_ptr<FileContext> owned(static_cast<FileContext*>(cell));
      context(target_of(file_system)).close(std::move(*owned));
    });
  }

  static NtStatus read(FSP_FILE_SYSTEM* file_system, void* cell, void* buffer, std::uint64_t offset,
                       std::uint32_t length, std::uint32_t* bytes_transferred) {
    return guarded("Read", [&] {
      if (bytes_transferred != nullptr) *bytes_transferred = 0;
      if (buffer == nullptr) return winfsp::kStatusInsufficientResources;
      OperationTarget& target = target_of(file_system);
      const std::span<std::byte> destination(static_cast<std::byte*>(buffer), length);
      return count_of(context(target).read(file(cell), destination, offset), bytes_transferred, target);
    });
  }

  static NtStatus write(FSP_FILE_SYSTEM* file_system, void* cell, void* buffer, std::uint64_t offset,
                        std::uint32_t length, Boolean write_to_end_of_file, Boolean constrained_io,
                        std::uint32_t* bytes_transferred, FSP_FSCTL_FILE_INFO* info) {
    return guarded("Write", [&] {
      if (info == nullptr) return winfsp::kStatusInsufficientResources;
      if (bytes_transferred != nullptr) *bytes_transferred = 0;
      if (buffer == nullptr) return winfsp::kStatusInsufficientResources;
      OperationTarget& target = target_of(file_system);
      const std::span<const std::byte> data(static_cast<const std::byte*>(buffer), length);
      return count_of(context(target).write(file(cell), data, offset, write_to_end_of_file != 0,
                                            constrained_io != 0, *info),
                      bytes_transferred, target);
    });
  }

  static NtStatus flush(FSP_FILE_SYSTEM* file_system, void* cell, FSP_FSCTL_FILE_INFO* info) {
    return guarded("Flush", [&] {
      OperationTarget& target = target_of(file_system);
      if (cell == nullptr) return status_of(context(target).flush_volume(), target);
      return status_of(context(target).flush(file(cell), required(info)), target);
    });
  }

  static NtStatus get_file_info(FSP_FILE_SYSTEM* file_system, void* cell, FSP_FSCTL_FILE_INFO* info) {
    return guarded("GetFileInfo", [&] {
      OperationTarget& target = target_of(file_system);
      return status_of(context(target).get_file_info(file(cell), required(info)), target);
    });
  }

  static NtStatus set_basic_info(FSP_FILE_SYSTEM* file_system, void* cell, std::uint32_t /*attributes*/,
                                 std::uint64_t /*creation_time*/, std::uint64_t /*last_access_time*/,
                                 std::uint64_t last_write_time, std::uint64_t /*change_time*/,
                                 FSP_FSCTL_FILE_INFO* info) {
    return guarded("SetBasicInfo", [&] {
      OperationTarget& target = target_of(file_system);
      return status_of(context(target).set_basic_info(file(cell), last_write_time, required(info)), target);
    });
  }

  static NtStatus set_file_size(FSP_FILE_SYSTEM* file_system, void* cell, std::uint64_t new_size,
                                Boolean set_allocation_size, FSP_FSCTL_FILE_INFO* info) {
    return guarded("SetFileSize", [&] {
      OperationTarget& target = target_of(file_system);
      return status_of(
          context(target).set_file_size(file(cell), new_size, set_allocation_size != 0, required(info)),
          target);
    });
  }

  static NtStatus rename(FSP_FILE_SYSTEM* file_system, void* cell, char16_t* /*name*/, char16_t* new_name,
                         Boolean replace_if_exists) {
    return guarded("Rename", [&] {
      OperationTarget& target = target_of(file_system);
      return status_of(context(target).rename(file(cell), file_name(new_name), replace_if_exists != 0),
                       target);
    });
  }

  static NtStatus read_directory(FSP_FILE_SYSTEM* file_system, void* cell, char16_t* pattern,
                                 char16_t* marker, void* buffer, std::uint32_t length,
                                 std::uint32_t* bytes_transferred) {
    return guarded("ReadDirectory", [&] {
      if (bytes_transferred != nullptr) *bytes_transferred = 0;
      OperationTarget& target = target_of(file_system);
      DirectoryBuffer directory(target.winfsp, buffer, length);
      return count_of(context(target).read_directory(file(cell), optional_file_name(pattern),
                                                     optional_file_name(marker), directory),
                      bytes_transferred, target);
    });
  }

  static NtStatus get_dir_info_by_name(FSP_FILE_SYSTEM* file_system, void* cell, char16_t* name,
                                       FSP_FSCTL_DIR_INFO* dir_info) {
    return guarded("GetDirInfoByName", [&] {
      OperationTarget& target = target_of(file_system);
      return status_of(context(target).get_dir_info_by_name(file(cell), file_name(name), required(dir_info)),
                       target);
    });
  }

  static NtStatus set_delete(FSP_FILE_SYSTEM* file_system, void* cell, char16_t* /*name*/,
                             Boolean delete_file) {
    return guarded("SetDelete", [&] {
      OperationTarget& target = target_of(file_system);
      return status_of(context(target).set_delete(file(cell), delete_file != 0), target);
    });
  }

  static NtStatus create_ex(FSP_FILE_SYSTEM* file_system, char16_t* name, std::uint32_t create_options,
                            std::uint32_t granted_access, std::uint32_t /*attributes*/,
                            void* /*security_descriptor*/, std::uint64_t allocation_size,
                            void* /*extra_buffer*/, std::uint32_t /*extra_length*/,
                            Boolean /*extra_buffer_is_reparse_point*/, void** cell,
                            FSP_FSCTL_FILE_INFO* info) {
    return guarded("CreateEx", [&] {
      OperationTarget& target = target_of(file_system);
      required(cell);
      return hand_over(context(target).create(file_name(name), create_options, granted_access,
                                              allocation_size, open_file_info(info)),
                       cell, target);
    });
  }

  static NtStatus overwrite_ex(FSP_FILE_SYSTEM* file_system, void* cell, std::uint32_t /*attributes*/,
                               Boolean /*replace_attributes*/, std::uint64_t allocation_size,
                               winfsp::FILE_FULL_EA_INFORMATION* /*ea*/, std::uint32_t /*ea_length*/,
                               FSP_FSCTL_FILE_INFO* info) {
    return guarded("OverwriteEx", [&] {
      OperationTarget& target = target_of(file_system);
      return status_of(context(target).overwrite(file(cell), allocation_size, required(info)), target);
    });
  }
};

}  // namespace detail

template <typename FileContext>
winfsp::FSP_FILE_SYSTEM_INTERFACE operation_table() {
  using Slots = detail::FileSlots<FileContext>;
  using detail::invalid_device_request;
  // In slot order (the designators enforce it); every slot not named here stays null.
  return {
      .GetVolumeInfo = detail::get_volume_info,
      .SetVolumeLabel_ = invalid_device_request,
      .GetSecurityByName = Slots::get_security_by_name,
      .Create = nullptr,  // CreateEx serves
      .Open = Slots::open,
      .Overwrite = nullptr,  // OverwriteEx serves
      .Cleanup = Slots::cleanup,
      .Close = Slots::close,
      .Read = Slots::read,
      .Write = Slots::write,
      .Flush = Slots::flush,
      .GetFileInfo = Slots::get_file_info,
      .SetBasicInfo = Slots::set_basic_info,
      .SetFileSize = Slots::set_file_size,
      .CanDelete = nullptr,  // SetDelete serves
      .Rename = Slots::rename,
      .GetSecurity = invalid_device_request,
      .SetSecurity = invalid_device_request,
      .ReadDirectory = Slots::read_directory,
      .ResolveReparsePoints = detail::resolve_reparse_points,
      .GetReparsePoint = invalid_device_request,
      .SetReparsePoint = invalid_device_request,
      .DeleteReparsePoint = invalid_device_request,
      .GetStreamInfo = detail::get_stream_info,
      .GetDirInfoByName = Slots::get_dir_info_by_name,
      .Control = invalid_device_request,
      .SetDelete = Slots::set_delete,
      .CreateEx = Slots::create_ex,
      .OverwriteEx = Slots::overwrite_ex,
      .GetEa = invalid_device_request,
      .SetEa = invalid_device_request,
      .Obsolete0 = nullptr,
      .DispatcherStopped = detail::dispatcher_stopped,
      .Reserved = {},
  };
}

}  // namespace varlin::filesystem
