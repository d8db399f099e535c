#include "winfsp/operation_table.hpp"

#include <exception>
#include <string>

#include "morva/log.hpp"

namespace varlin::filesystem::detail {

namespace {

constexpr std::string_view kLogTarget = "varlin::filesystem";

// No entry of the mount is a reparse point.
NtStatus no_reparse_point(FSP_FILE_SYSTEM* /*file_system*/, void* /*context*/, char16_t* /*file_name*/,
                          Boolean /*is_directory*/, void* /*buffer*/, std::uint64_t* /*size*/) {
  return winfsp::kStatusInvalidDeviceRequest;
}

}  // namespace

OperationTarget& target_of(FSP_FILE_SYSTEM* file_system) {
  return required(static_cast<OperationTarget*>(required(file_system).UserContext));
}

FileName file_name(const char16_t* name) {
  const std::u16string_view text(&required(name));
  return {text.data(), text.size() + 1};
}

std::optional<FileName> optional_file_name(const char16_t* name) {
  if (name == nullptr) return std::nullopt;
  return file_name(name);
}

winfsp::FSP_FSCTL_OPEN_FILE_INFO& open_file_info(FSP_FSCTL_FILE_INFO* info) {
  // Open and CreateEx get the file information as the first field of the open-file information.
  return *reinterpret_cast<winfsp::FSP_FSCTL_OPEN_FILE_INFO*>(&required(info));
}

NtStatus status_of(const OperationResult<void>& result, const OperationTarget& target) {
  return result ? winfsp::kStatusSuccess : nt_status_of(result.error(), target.winfsp);
}

void report_internal_fault(std::string_view slot, std::exception_ptr fault) noexcept {
  try {
    std::string what = "unknown exception";
    try {
      std::rethrow_exception(fault);
    } catch (const std::exception& error) {
      what = error.what();
    } catch (...) {
    }
    morva::log::error(kLogTarget, "WinFsp operation ended by an internal fault",
                      {{"slot", slot}, {"error", what}});
  } catch (...) {
    // Nothing is left to tell it with.
  }
}

NtStatus get_volume_info(FSP_FILE_SYSTEM* file_system, FSP_FSCTL_VOLUME_INFO* info) {
  return guarded("GetVolumeInfo", [&] {
    target_of(file_system).context.get_volume_info(required(info));
    return winfsp::kStatusSuccess;
  });
}

NtStatus resolve_reparse_points(FSP_FILE_SYSTEM* file_system, char16_t* file_name, std::uint32_t index,
                                Boolean resolve_last_component, winfsp::IO_STATUS_BLOCK* io_status,
                                void* buffer, std::uint64_t* size) {
  return guarded("ResolveReparsePoints", [&] {
    return target_of(file_system)
        .winfsp.resolve_reparse_points(file_system, no_reparse_point, nullptr, file_name, index,
                                       resolve_last_component != 0, io_status, buffer, size);
  });
}

NtStatus get_stream_info(FSP_FILE_SYSTEM* /*file_system*/, void* /*file_context*/, void* /*buffer*/,
                         std::uint32_t /*length*/, std::uint32_t* bytes_transferred) {
  if (bytes_transferred != nullptr) *bytes_transferred = 0;
  return winfsp::kStatusInvalidDeviceRequest;
}

void dispatcher_stopped(FSP_FILE_SYSTEM* file_system, Boolean normally) {
  guarded_void("DispatcherStopped", [&] {
    OperationTarget& target = target_of(file_system);
    morva::log::debug(kLogTarget, "WinFsp dispatcher stopped", {{"normally", normally != 0}});
    target.context.dispatcher_stopped(normally != 0);
    target.winfsp.stop_service_if_necessary(file_system, normally != 0);
  });
}

}  // namespace varlin::filesystem::detail
